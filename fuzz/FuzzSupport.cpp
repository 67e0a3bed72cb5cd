// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kinscope::fuzz {
namespace {

std::filesystem::path& Folder() {
  static std::filesystem::path folder;
  return folder;
}

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
}

}  // namespace

std::vector<uint8_t> Input::Bytes(size_t count) {
  const size_t n = count < Left() ? count : Left();
  std::vector<uint8_t> bytes(data_ + at_, data_ + at_ + n);
  at_ += n;
  return bytes;
}

std::string Input::Text(size_t max) {
  const std::vector<uint8_t> bytes = Bytes(U8() % (max + 1));
  return std::string(bytes.begin(), bytes.end());
}

Described Describe(Input& in) {
  const int regions = in.U8() % 4;
  Described d{tevwriter::TevFile(regions), {}, -1};
  tevwriter::TevFile& f = d.file;
  const int region_span = regions == 0 ? 1 : regions;
  auto region = [&] { return in.U8() % region_span; };
  const uint8_t flags = in.U8();
  // Each step is a writer call that may refuse what the input asks for.
  auto attempt = [](auto&& step) {
    try {
      step();
    } catch (const std::logic_error&) {
    }
  };
  for (int n = in.U8() % 8; n > 0; --n) {
    const int offset = static_cast<int>(in.U16() % (tevwriter::kHeaderSize - 3));
    const int32_t value = in.I32();
    f.SetHeaderI32(offset, value);
  }
  for (int n = in.U8() % 16; n > 0; --n) {
    const int r = region();
    const int page = 1 + in.U8() % 63;
    const int table = 1 + in.U8() % 32;
    attempt([&] { f.AddPage(r, page, table); });
  }
  for (int n = in.U8() % 8; n > 0; --n) {
    const int r = in.U8() % 32;
    const int table = 1 + in.U8() % 32;
    f.SetPageCount(r, table, in.I16());
  }
  for (int n = in.U8() % 8; n > 0; --n) {
    const int r = region();
    const int page = in.U16() % 8192;
    const uint8_t value = in.U8();
    attempt([&] { f.SetMapByte(r, page, value); });
  }
  for (int n = in.U8() % 8; n > 0; --n) {
    const int r = region();
    const int page = 1 + in.U8() % 63;
    const int offset = in.U16() % 8192;
    const std::vector<uint8_t> bytes = in.Bytes(1 + in.U8() % 64);
    if (!bytes.empty()) f.Patch(tevwriter::PageOffset(r, page) + offset, bytes);
  }
  for (int n = in.U8() % 6; n > 0; --n) {
    const uint8_t kind = in.U8();
    const int32_t a = in.I32();
    const int32_t b = in.I32();
    const int32_t c = in.I32();
    const std::string text = in.Text(300);
    attempt([&] {
      d.name_offsets.push_back(kind % 2 == 0
                                   ? f.AppendINameRec(a, b, c, kind, text)
                                   : f.AppendNameRec(a, b, c, static_cast<int8_t>(kind), text));
    });
  }
  if ((flags & 1) != 0) f.Patch(8, {static_cast<uint8_t>(in.U8())});  // the magic's first byte
  if ((flags & 2) != 0) {
    const uint32_t cut = static_cast<uint32_t>(in.I32());
    d.cut = static_cast<int64_t>(cut % static_cast<uint64_t>(f.FileSize() + 1));
  }
  return d;
}

std::string WriteDescribed(const Described& d, const std::string& name) {
  const std::string path = ScratchPath(name);
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  if (!d.file.Write(path)) return std::string();
  if (d.cut >= 0 && !tevwriter::TruncateFile(path, d.cut)) return std::string();
  return path;
}

std::string ScratchPath(const std::string& name) {
  if (Folder().empty()) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kinscope-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch folder");
    Folder() = pattern;
    std::atexit(RemoveFolder);
  }
  return (Folder() / name).string();
}

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace kinscope::fuzz
