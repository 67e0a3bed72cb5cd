// SPDX-License-Identifier: GPL-3.0-or-later
// kinscope-dump FILE COMMAND ...: a .tev database file's header, records,
// name index and integrity, as text or JSON. The file is opened read-only.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "Causes.h"
#include "Console.h"
#include "Dump.h"
#include "Messages.h"
#include "PlatformFile.h"
#include "TEVDatabase.h"

using namespace kinscope;

int main(int argc, char** argv) {
  CLI::App app{"Shows what a TEV 5 database file (.tev) holds, without changing it.",
               "kinscope-dump"};
  app.set_version_flag("-v,--version", "kinscope-dump " KINSCOPE_VERSION);
  std::string path;
  bool json = false;
  app.add_option("FILE", path, "the database file")->required();
  app.add_flag("--json", json, "print one JSON document");
  app.require_subcommand(1);

  app.add_subcommand("header", "header fields, page counts and page maps");
  auto* record = app.add_subcommand("record", "one record, field by field");
  std::string type;
  int32_t number = 0;
  bool bytes = false;
  record->add_option("TYPE", type, "record type: Individual, Marriage, ... or its code 0 to 12")
      ->required();
  record->add_option("NUMBER", number, "record number, node number or file offset")->required();
  record->add_flag("--bytes", bytes, "add the record's bytes in hexadecimal");
  record->add_flag("--json", json, "print one JSON document");
  auto* index = app.add_subcommand("index", "the individual index in name order");
  index->add_flag("--json", json, "print one JSON document");
  auto* find = app.add_subcommand("find", "index entries under a name or the start of a surname");
  std::string text;
  find->add_option("TEXT", text, "\"Given /Surname/\" or the start of a surname")->required();
  find->add_flag("--json", json, "print one JSON document");
  auto* check = app.add_subcommand("check", "a whole-file integrity report");
  check->add_flag("--json", json, "print one JSON document");
  app.get_subcommand("header")->add_flag("--json", json, "print one JSON document");
  auto* gedcom = app.add_subcommand("gedcom", "the whole file as GEDCOM 5.5.1 (UTF-8)");
  std::string out_path;
  gedcom->add_option("-o,--output", out_path, "write to this file instead of standard output");

  // Standard output carries the same bytes on every system (Console.h).
  const std::vector<std::string> arguments = dump::PrepareConsole(argc, argv);
  std::vector<const char*> args;
  for (const std::string& a : arguments) args.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(args.size()), args.data());
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : dump::kCannotOpen;
  }

  const std::string command = app.get_subcommands().front()->get_name();
  int32_t code = -1;
  if (command == "record") {
    code = dump::RecordTypeCode(type);
    if (code < 0) {
      std::cerr << "kinscope-dump: no record type \"" << type << "\"\n";
      return dump::kCannotOpen;
    }
  }
  CTEVDatabase db;
  const int opened = db.OpenDatabase(path, 1);
  if (opened != kOpenOk) {
    // The system's error code (errno on POSIX, GetLastError on Windows) and
    // its cause, in the same words on both.
    const int error = platform::LastError();
    const std::string why = opened == kOpenCorrupt
                                ? kCorruptFileText
                                : "cannot open the file (error " + std::to_string(error) +
                                      "): " + OpenFailureCause(error, false);
    std::cerr << "kinscope-dump: " << path << ": " << why << "\n";
    return dump::kCannotOpen;
  }
  if (command == "gedcom") return dump::Gedcom(db, path, out_path, KINSCOPE_VERSION);
  dump::Result result;
  if (command == "header") result = dump::Header(db);
  if (command == "record") result = dump::Record(db, code, number, bytes);
  if (command == "index") result = dump::WriteIndex(db, std::cout, json);
  if (command == "find") result = dump::WriteFind(db, text, std::cout, json);
  if (command == "check") result = dump::Check(db, path);
  if (!result.doc.is_null()) {
    std::cout << (json ? result.doc.dump(2) + "\n" : dump::Text(command, result.doc));
  }
  if (!result.error.empty()) std::cerr << "kinscope-dump: " << result.error << "\n";
  return result.status;
}
