// SPDX-License-Identifier: GPL-3.0-or-later
// The documents of the dump commands as aligned text for reading.
#include <algorithm>
#include <sstream>
#include <vector>

#include "Dump.h"

namespace kinscope::dump {
namespace {

std::string Scalar(const json& v) {
  if (v.is_null()) return "-";
  if (v.is_string()) return v.get<std::string>();
  if (v.is_array()) {  // objects in a cell: their values joined by ":"
    std::string out;
    for (const json& item : v) {
      std::string one;
      for (const auto& [k, x] : item.items()) one += (one.empty() ? "" : ":") + Scalar(x);
      out += (out.empty() ? "" : " ") + one;
    }
    return out.empty() ? "-" : out;
  }
  return v.dump();
}

// Rows of cells, each column padded to its widest cell, in characters.
std::string Table(const std::vector<std::vector<std::string>>& rows,
                  const std::string& indent = "") {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], TextWidth(row[i]));
  }
  std::ostringstream out;
  for (const auto& row : rows) {
    std::string line = indent;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - TextWidth(row[i]) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
  return out.str();
}

// An array of flat objects as a table with a heading row.
std::string ObjectTable(const json& items, const std::string& indent = "") {
  if (!items.is_array() || items.empty()) return indent + "(none)\n";
  std::vector<std::vector<std::string>> rows(1);
  for (const auto& [key, value] : items.front().items()) rows[0].push_back(key);
  for (const json& item : items) {
    std::vector<std::string> row;
    for (const std::string& key : rows[0]) {
      row.push_back(item.contains(key) ? Scalar(item[key]) : std::string());
    }
    rows.push_back(row);
  }
  return Table(rows, indent);
}

// Scalars of an object as "key  value" lines; arrays as tables under their key.
std::string Object(const json& doc) {
  std::vector<std::vector<std::string>> rows;
  std::string tables;
  for (const auto& [key, value] : doc.items()) {
    if (value.is_array()) {
      tables += "\n" + key + ":\n" + ObjectTable(value, "  ");
    } else if (value.is_object()) {
      std::string joined;
      for (const auto& [k, v] : value.items())
        joined += (joined.empty() ? "" : ", ") + k + " " + Scalar(v);
      rows.push_back({key, joined});
    } else {
      rows.push_back({key, Scalar(value)});
    }
  }
  return Table(rows) + tables;
}

void Fields(const json& fields, const std::string& indent,
            std::vector<std::vector<std::string>>& rows) {
  for (const json& f : fields) {
    const json& v = f["value"];
    std::string value;
    if (v.is_array()) {
      rows.push_back({indent + std::to_string(f["offset"].get<size_t>()), Scalar(f["width"]),
                      indent + f["name"].get<std::string>(), ""});
      Fields(v, indent + "  ", rows);
      continue;
    }
    if (v.is_object()) {
      value = "\"" + v["text"].get<std::string>() + "\" key " + Scalar(v["sort_key"]) + " [" +
              Scalar(v["bytes"]) + "]" + (v["valid"].get<bool>() ? "" : " invalid date type");
    } else {
      value = Scalar(v);
    }
    if (f.contains("char")) value += " '" + f["char"].get<std::string>() + "'";
    if (f.contains("hex")) value += " (0x" + f["hex"].get<std::string>() + ")";
    if (f.contains("links_to") && !(v.is_number() && v.get<int64_t>() == 0)) {
      value += " -> " + Scalar(f["links_to"]);
    }
    if (f.contains("text")) value += " \"" + f["text"].get<std::string>() + "\"";
    rows.push_back({indent + std::to_string(f["offset"].get<size_t>()), Scalar(f["width"]),
                    indent + f["name"].get<std::string>(), value});
  }
}

}  // namespace

std::string Text(const std::string& command, const json& doc) {
  if (command == "record") {
    json head = doc;
    head.erase("fields");
    std::vector<std::vector<std::string>> rows = {{"offset", "width", "field", "value"}};
    Fields(doc["fields"], "", rows);
    return Object(head) + "\n" + Table(rows);
  }
  if (command == "check") {
    // One finding a line, then the summary on a line of its own.
    std::vector<std::vector<std::string>> rows;
    for (const json& f : doc["findings"]) {
      rows.push_back({f["place"].get<std::string>() + ":", f["severity"], f["what"],
                      f["offset"].is_null() ? "" : "(offset " + Scalar(f["offset"]) + ")"});
    }
    return Table(rows) + doc["summary"].get<std::string>() + "\n";
  }
  if (command == "repair") {
    // One mend or cut a line, then the summary and where the copy went.
    std::vector<std::vector<std::string>> rows;
    for (const json& l : doc["lines"]) {
      rows.push_back({l["place"].get<std::string>() + ":", l["action"], l["was"],
                      "-> " + l["now"].get<std::string>()});
    }
    return Table(rows) + doc["summary"].get<std::string>() + "; the copy is " +
           doc["copy"].get<std::string>() + "\n";
  }
  return Object(doc);
}

}  // namespace kinscope::dump
