// SPDX-License-Identifier: GPL-3.0-or-later
// kinscope-dump FILE COMMAND ...: a .tev database file's header, records,
// name index and integrity, as text or JSON. The file is opened read-only.
//
// Its --help is the whole manual: the build makes the manual page of it with
// help2man, so every command, argument and option is listed there with the
// exit statuses and examples.
#include <CLI/CLI.hpp>
#include <iostream>
#include <new>
#include <sstream>
#include <string>

#include "Causes.h"
#include "Console.h"
#include "Dump.h"
#include "Messages.h"
#include "PlatformFile.h"
#include "Progress.h"
#include "RecordRegistry.h"
#include "TEVDatabase.h"

using namespace kinscope;

namespace {

// The help of the program: each command with its usage, and under it what
// its arguments and options are (those it shares with the program, --json
// and --no-progress, are told once among the program's), so that one page
// tells everything.
class Help : public CLI::Formatter {
 public:
  std::string make_subcommand(const CLI::App* command) const override {
    const auto shared = [command](const CLI::Option* o) {
      return !o->get_positional() &&
             command->get_parent()->get_option_no_throw(o->get_name()) != nullptr;
    };
    const auto name = [this](const CLI::Option* o) {
      return o->get_positional() ? o->get_name() : make_option_name(o, false) + make_option_opts(o);
    };
    std::string usage = command->get_name();
    for (const CLI::Option* o : command->get_options()) {
      if (o == command->get_help_ptr()) continue;
      if (o->get_positional()) {
        usage += " " + name(o);
      } else {
        const std::string flag = o->get_snames().empty() ? "--" + o->get_lnames().front()
                                                         : "-" + o->get_snames().front();
        usage += " [" + flag + make_option_opts(o) + "]";
      }
    }
    std::stringstream out;
    CLI::detail::format_help(out, usage, command->get_description(), column_width_);
    for (const CLI::Option* o : command->get_options()) {
      if (o == command->get_help_ptr() || shared(o)) continue;
      CLI::detail::format_help(out, "  " + name(o), o->get_description(), column_width_);
    }
    return out.str();
  }
};

// The exit statuses, from the constants the commands return.
std::string ExitStatuses() {
  const auto row = [](int status, const char* what) {
    std::string line = "  " + std::to_string(status);
    return line + std::string(line.size() < 6 ? 6 - line.size() : 1, ' ') + what + "\n";
  };
  return "Exit status:\n" +
         row(dump::kOk,
             "done; check found no damage (unusual findings alone give 0); gedcom\n"
             "      exported everything; repair wrote a copy that checks clean and\n"
             "      cut nothing") +
         row(dump::kProblems,
             "check found damage; index or find met a damaged index; gedcom left\n"
             "      something out (each thing is named on standard error); repair\n"
             "      wrote its copy but cut something or left damage in it") +
         row(dump::kCannotOpen,
             "the file cannot be opened, the command line is wrong, gedcom could\n"
             "      not write its output or was interrupted, or repair wrote no copy\n"
             "      (FILE unreadable, OUT unwritable or standing without --force,\n"
             "      interrupted); no file is left then") +
         row(dump::kNoRecord, "record: there is no such record, or the file ends inside it") +
         row(dump::kOutOfMemory,
             "memory ran out: the command stopped (gedcom and repair leave no output\n"
             "      file)");
}

// The record types by code and name, in lines of at most 44 characters.
std::string RecordTypes() {
  std::string types;
  size_t line = 0;
  for (int32_t code = 0; code < kRecordTypeCount; ++code) {
    const std::string type = std::to_string(code) + " " + RecordTypeName(code);
    if (code > 0) types += line + type.size() + 2 > 44 ? ",\n" : ", ";
    if (types.empty() || types.back() == '\n') line = 0;
    else line += 2;
    types += type;
    line += type.size();
  }
  return types;
}

constexpr char kMore[] =
    "Progress:\n"
    "  On a terminal, check, gedcom, index, repair and a find that searches the\n"
    "  whole index (by spelling or --like) show how far they have come on\n"
    "  standard error, in one line redrawn in place and wiped at the end; never\n"
    "  when standard error is a file or a pipe, nor while the command's own\n"
    "  output goes to the terminal as well. --no-progress turns it off.\n"
    "\n"
    "Examples:\n"
    "  $ kinscope-dump family.tev check\n"
    "  $ kinscope-dump family.tev check --json > report.json\n"
    "  $ kinscope-dump family.tev record Individual 1 --bytes\n"
    "  $ kinscope-dump family.tev find \"Thomas /Whitcombe/\"\n"
    "  $ kinscope-dump family.tev find Whit\n"
    "  $ kinscope-dump family.tev gedcom -o family.ged\n"
    "  $ kinscope-dump family.tev repair -o family-repaired.tev\n";

}  // namespace

// A failed allocation anywhere ends the program with a message and its own
// status, after the stack is unwound (so an unfinished output file is
// removed), never with an abort.
int main(int argc, char** argv) try {
  CLI::App app{
      "Shows what a TEV 5 database file (.tev) holds, as text or JSON, without\n"
      "changing it: its header and page maps, a record field by field, the\n"
      "name index, a check of the whole file, or the whole file as GEDCOM.\n",
      "kinscope-dump"};
  app.formatter(std::make_shared<Help>());
  app.get_formatter()->label("REQUIRED", "");
  app.get_formatter()->column_width(32);
  app.set_version_flag("-v,--version", "kinscope-dump " KINSCOPE_VERSION);
  app.footer(ExitStatuses() + "\n" + kMore);
  std::string path;
  bool json = false;
  bool no_progress = false;
  app.add_option("FILE", path, "the database file, only ever read")->required()->type_name("");
  const auto json_flag = [&json](CLI::App* on) {
    on->add_flag("--json", json,
                 "print one JSON document\n(header, record, index, find, check and repair)");
  };
  const auto progress_flag = [&no_progress](CLI::App* on) {
    on->add_flag("--no-progress", no_progress,
                 "show no progress line on a terminal\n(check, find, gedcom, index and repair)");
  };
  json_flag(&app);
  progress_flag(&app);
  app.require_subcommand(1);

  json_flag(app.add_subcommand("header", "header fields, page counts and page maps"));
  auto* record = app.add_subcommand("record", "one record, field by field");
  std::string type;
  int32_t number = 0;
  bool bytes = false;
  record->add_option("TYPE", type, "record type, by name (any case) or code:\n" + RecordTypes())
      ->required()
      ->type_name("");
  record->add_option("NUMBER", number, "record number, node number or file offset")
      ->required()
      ->type_name("");
  record->add_flag("--bytes", bytes, "add the record's bytes in hexadecimal");
  json_flag(record);
  auto* index = app.add_subcommand("index",
                                   "the individual index in name order, runs of\n"
                                   "identical names numbered");
  json_flag(index);
  progress_flag(index);
  auto* find = app.add_subcommand("find", "index entries under a name or the start\nof a surname");
  std::string text;
  find->add_option("TEXT", text, "\"Given /Surname/\" or the start of a surname")
      ->required()
      ->type_name("");
  json_flag(find);
  progress_flag(find);
  bool like = false;
  find->add_flag("--like", like,
                 "also names spelled alike (case and accents\nignored) or sounding alike");
  auto* check = app.add_subcommand("check", "a whole-file integrity report");
  json_flag(check);
  progress_flag(check);
  auto* gedcom = app.add_subcommand("gedcom", "the whole file as GEDCOM 5.5.1 (UTF-8)");
  std::string out_path;
  gedcom->add_option("-o,--output", out_path, "write to this file instead of standard output")
      ->type_name("FILE");
  progress_flag(gedcom);
  auto* repair = app.add_subcommand("repair",
                                    "mend the file onto a copy (FILE is never\n"
                                    "written): a line per mend and cut, then\n"
                                    "\"12 mended, 1 cut\"");
  std::string repair_path;
  bool force = false;
  repair->add_option("-o,--output", repair_path, "the copy to write")->required()->type_name("OUT");
  repair->add_flag("--force", force, "replace a file standing at OUT");
  json_flag(repair);
  progress_flag(repair);

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
  if (command == "repair") {
    // The repair opens the file itself: it mends files that do not open.
    dump::Progress silent;
    dump::Progress line(std::cerr, "repairing");
    const dump::Result result = dump::Repair(
        path, repair_path, force, dump::ShowsProgress(no_progress, false) ? &line : &silent);
    if (!result.doc.is_null()) {
      std::cout << (json ? result.doc.dump(2) + "\n" : dump::Text(command, result.doc));
    }
    if (!result.error.empty()) std::cerr << "kinscope-dump: " << result.error << "\n";
    return result.status;
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
  // The commands that stream their output to standard output as they work.
  const bool streams = command == "index" || (command == "find" && json) ||
                       (command == "gedcom" && out_path.empty());
  dump::Progress silent;
  dump::Progress line(std::cerr, command == "check"    ? "checking"
                                 : command == "gedcom" ? "exporting"
                                 : command == "find"   ? "searching"
                                                       : "reading the index");
  dump::Progress* progress = dump::ShowsProgress(no_progress, streams) ? &line : &silent;
  if (command == "gedcom") return dump::Gedcom(db, path, out_path, KINSCOPE_VERSION, progress);
  dump::Result result;
  if (command == "header") result = dump::Header(db);
  if (command == "record") result = dump::Record(db, code, number, bytes);
  if (command == "index") result = dump::WriteIndex(db, std::cout, json, progress);
  if (command == "find") {
    dump::FindOptions options;
    options.like = like;
    options.progress = progress;
    result = dump::WriteFind(db, text, std::cout, json, options);
  }
  if (command == "check") result = dump::Check(db, path, progress);
  if (!result.doc.is_null()) {
    std::cout << (json ? result.doc.dump(2) + "\n" : dump::Text(command, result.doc));
  }
  if (!result.error.empty()) std::cerr << "kinscope-dump: " << result.error << "\n";
  return result.status;
} catch (const std::bad_alloc&) {
  std::cerr << "kinscope-dump: memory ran out\n";
  return dump::kOutOfMemory;
}
