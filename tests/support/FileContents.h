// SPDX-License-Identifier: GPL-3.0-or-later
// The whole of a file, for tests that compare what a file holds.
#pragma once

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

// The bytes of the file at `path` in a `Bytes` (a string or a vector of
// bytes); none when the file cannot be opened.
template <typename Bytes = std::string>
std::optional<Bytes> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bytes of the file at `path`; empty when it cannot be opened.
inline std::string Contents(const std::string& path) {
  return ReadBytes(path).value_or(std::string());
}
