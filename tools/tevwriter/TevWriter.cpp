// SPDX-License-Identifier: GPL-3.0-or-later
#include "TevWriter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tevwriter {

namespace {

constexpr int kMaxTable = 32;
constexpr int kPagesPerRegion = 8192;

void Grow(Bytes& image, size_t end) {
  if (image.size() < end) image.resize(end, 0);
}

void Require(bool condition, const char* what) {
  if (!condition) throw std::logic_error(what);
}

// Position of a file offset inside the chunk that holds it.
size_t InChunk(int64_t offset) {
  if (offset < kRegionBase) return static_cast<size_t>(offset);
  return static_cast<size_t>((offset - kRegionBase) % kPageSize);
}

int64_t ChunkStart(int64_t offset) {
  if (offset < kRegionBase) return 0;
  return kRegionBase + (offset - kRegionBase) / kPageSize * kPageSize;
}

size_t CountOffset(int region, int table) {
  return static_cast<size_t>(kPageCountOffset + (region * kMaxTable + table - 1) * 2);
}

// Paths are UTF-8 on every system.
std::filesystem::path FsPath(const std::string& path) { return std::filesystem::u8path(path); }

bool WriteAll(std::fstream& out, const Bytes& bytes, int64_t offset) {
  out.seekp(static_cast<std::streamoff>(offset));
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The existing file at `path`, open for writing in place; closed on failure.
std::fstream OpenInPlace(const std::string& path) {
  std::fstream out;
  if (std::filesystem::is_regular_file(FsPath(path)))
    out.open(FsPath(path), std::ios::in | std::ios::out | std::ios::binary);
  return out;
}

Bytes Le32(int32_t value) {
  Bytes b;
  PutI32(b, 0, value);
  return b;
}

}  // namespace

void PutU8(Bytes& image, size_t offset, uint8_t value) {
  Grow(image, offset + 1);
  image[offset] = value;
}

void PutU16(Bytes& image, size_t offset, uint16_t value) {
  Grow(image, offset + 2);
  image[offset] = static_cast<uint8_t>(value & 0xFF);
  image[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutI16(Bytes& image, size_t offset, int16_t value) {
  PutU16(image, offset, static_cast<uint16_t>(value));
}

void PutI32(Bytes& image, size_t offset, int32_t value) {
  Grow(image, offset + 4);
  const auto u = static_cast<uint32_t>(value);
  for (size_t i = 0; i < 4; ++i) image[offset + i] = static_cast<uint8_t>(u >> (8 * i));
}

void PutText(Bytes& image, size_t offset, const std::string& text) {
  Grow(image, offset + text.size());
  std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

int64_t PageOffset(int region, int page) {
  return region * kRegionSize + kRegionBase + page * kPageSize;
}

TevFile::TevFile(int regions) : regions_(regions), fixed_(static_cast<size_t>(kRegionBase), 0) {
  Require(regions >= 0 && regions <= kMaxRegions, "region count out of range");
  PutText(fixed_, 0, "500");
  PutText(fixed_, 8, "TEV");
  PutI32(fixed_, 18, regions);
  // Every region starts with its page map; the map's own page belongs to
  // table 11 and is counted for it.
  for (int r = 0; r < regions; ++r) {
    SetMapByte(r, 0, kPageMapTable);
    SetPageCount(r, kPageMapTable, 1);
  }
}

void TevFile::SetHeaderI32(int offset, int32_t value) {
  Require(offset >= 0 && offset + 4 <= kHeaderSize, "header offset out of range");
  PutI32(fixed_, static_cast<size_t>(offset), value);
}

void TevFile::SetHeaderBytes(int offset, const Bytes& bytes) {
  Require(offset >= 0 && offset + static_cast<int64_t>(bytes.size()) <= kHeaderSize,
          "header offset out of range");
  Patch(offset, bytes);
}

int32_t TevFile::HeaderI32(int offset) const {
  Require(offset >= 0 && offset + 4 <= kHeaderSize, "header offset out of range");
  uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | fixed_[static_cast<size_t>(offset + i)];
  return static_cast<int32_t>(u);
}

void TevFile::SetRootNode(int32_t node) {
  SetHeaderI32(30, node);
  SetHeaderI32(50, node);
}

int64_t TevFile::AddPage(int region, int page, int table) {
  Require(region >= 0 && region < regions_, "region has no page map");
  Require(page >= 1 && page < kPagesPerRegion, "page out of range");
  Require(table >= 1 && table <= kMaxTable, "table out of range");
  Require(MapByte(region, page) == 0, "page already owned");
  SetMapByte(region, page, static_cast<uint8_t>(table));
  SetPageCount(region, table, static_cast<int16_t>(PageCount(region, table) + 1));
  const int64_t offset = PageOffset(region, page);
  Chunk(offset);  // the page is in use even while it holds only zeros
  return offset;
}

void TevFile::SetMapByte(int region, int page, uint8_t value) {
  Require(region >= 0 && region < kMaxRegions, "region out of range");
  Require(page >= 0 && page < kPagesPerRegion, "page out of range");
  uint8_t& byte = Chunk(PageOffset(region, 0))[static_cast<size_t>(page)];
  if (!table_pages_stale_ && page > 0 && byte != value) {
    const int64_t offset = PageOffset(region, page);
    if (byte >= 1 && byte <= kMaxTable) {
      std::vector<int64_t>& old = table_pages_[byte];
      old.erase(std::lower_bound(old.begin(), old.end(), offset));
    }
    if (value >= 1 && value <= kMaxTable) {
      std::vector<int64_t>& now = table_pages_[value];
      now.insert(std::lower_bound(now.begin(), now.end(), offset), offset);
    }
  }
  byte = value;
}

const std::vector<int64_t>& TevFile::TablePages(int table) const {
  if (table_pages_stale_) {
    table_pages_.assign(kMaxTable + 1, {});
    for (int r = 0; r < kMaxRegions; ++r) {
      const Bytes* map = FindChunk(PageOffset(r, 0));
      if (map == nullptr) continue;
      for (int p = 1; p < kPagesPerRegion; ++p) {
        const uint8_t t = (*map)[static_cast<size_t>(p)];
        if (t >= 1 && t <= kMaxTable) table_pages_[t].push_back(PageOffset(r, p));
      }
    }
    table_pages_stale_ = false;
  }
  return table_pages_[static_cast<size_t>(table)];
}

void TevFile::SetPageCount(int region, int table, int16_t count) {
  Require(region >= 0 && region < 128 && table >= 1 && table <= kMaxTable,
          "page-count entry out of range");
  PutI16(fixed_, CountOffset(region, table), count);
}

int16_t TevFile::PageCount(int region, int table) const {
  Require(region >= 0 && region < 128 && table >= 1 && table <= kMaxTable,
          "page-count entry out of range");
  const size_t at = CountOffset(region, table);
  return static_cast<int16_t>(fixed_[at] | (fixed_[at + 1] << 8));
}

int64_t TevFile::RecordOffset(int table, int size, int32_t number) const {
  if (number < 1 || size < 1 || size > kPageSize) return 0;
  if (table < 1 || table > kMaxTable) return 0;  // no map byte names such a table
  const int32_t per_page = static_cast<int32_t>(kPageSize / size);
  // The writer's own view of the table is the page maps, not the page-count
  // table, so a test can check that the two agree.
  const std::vector<int64_t>& pages = TablePages(table);
  const auto position = static_cast<size_t>((number - 1) / per_page);
  if (position >= pages.size()) return 0;
  return pages[position] + int64_t{(number - 1) % per_page} * size;
}

void TevFile::PutRecord(int table, int32_t number, const Bytes& record) {
  const int64_t offset = RecordOffset(table, static_cast<int>(record.size()), number);
  Require(offset > 0, "no such record slot");
  Patch(offset, record);
}

int32_t TevFile::AppendRecord(int table, const Bytes& record) {
  Require(!record.empty() && static_cast<int64_t>(record.size()) <= kPageSize,
          "record size out of range");
  const int size = static_cast<int>(record.size());
  const int32_t number = used_[table] + 1;
  if (RecordOffset(table, size, number) == 0) AddFreePage(table);
  PutRecord(table, number, record);
  used_[table] = number;
  return number;
}

int32_t TevFile::AppendRaw(const Bytes& bytes) {
  Require(!bytes.empty() && static_cast<int64_t>(bytes.size()) <= kPageSize,
          "name record size out of range");
  const auto size = static_cast<int64_t>(bytes.size());
  if (name_cursor_ == 0 || name_cursor_ + size > name_page_end_) {
    // A fresh name page: a record never runs over the end of a page.
    name_cursor_ = AddFreePage(kNameTable);
    name_page_end_ = name_cursor_ + kPageSize;
  }
  const int64_t offset = name_cursor_;
  Patch(offset, bytes);
  name_cursor_ += size;
  return static_cast<int32_t>(offset);
}

int32_t TevFile::AppendNameRec(int32_t less, int32_t greater, int32_t parent, int8_t type,
                               const std::string& text) {
  Bytes rec;
  PutI32(rec, 0, less);
  PutI32(rec, 4, greater);
  PutI32(rec, 8, parent);
  PutU8(rec, 12, static_cast<uint8_t>(type));
  PutText(rec, 13, text);
  PutU8(rec, 13 + text.size(), 0);
  return AppendRaw(rec);
}

int32_t TevFile::AppendINameRec(int32_t next, int32_t previous, int32_t owner, uint8_t type,
                                const std::string& text) {
  Bytes rec;
  PutI32(rec, 0, next);
  PutI32(rec, 4, previous);
  PutI32(rec, 8, owner);
  PutU8(rec, 12, type);
  PutI16(rec, 13, static_cast<int16_t>(text.size()));
  PutText(rec, 15, text);
  PutU8(rec, 15 + text.size(), 0);
  return AppendRaw(rec);
}

int32_t TevFile::AppendIndexNode(int32_t greater, int32_t lesser, int32_t parent, int32_t name) {
  Bytes node;
  PutI32(node, 0, greater);
  PutI32(node, 4, lesser);
  PutI32(node, 8, parent);
  PutI32(node, 12, name);
  return AppendRecord(10, node);
}

void TevFile::Patch(int64_t offset, const Bytes& bytes) {
  Require(offset >= 0, "negative file offset");
  // Chunk by chunk, so that large files are written at the speed of a copy.
  size_t done = 0;
  while (done < bytes.size()) {
    const int64_t at = offset + static_cast<int64_t>(done);
    // Bytes written over a page map by hand may give pages to other tables.
    if (at >= kRegionBase && (at - kRegionBase) % kRegionSize < kPageSize)
      table_pages_stale_ = true;
    Bytes& chunk = Chunk(at);
    const size_t in = InChunk(at);
    const size_t n = std::min(bytes.size() - done, chunk.size() - in);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(done), n,
                chunk.begin() + static_cast<std::ptrdiff_t>(in));
    done += n;
  }
}

void TevFile::PatchI32(int64_t offset, int32_t value) { Patch(offset, Le32(value)); }

Bytes TevFile::Read(int64_t offset, size_t count) const {
  Bytes out(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const int64_t at = offset + static_cast<int64_t>(i);
    if (at < 0) continue;
    if (const Bytes* chunk = FindChunk(at)) out[i] = (*chunk)[InChunk(at)];
  }
  return out;
}

int64_t TevFile::FileSize() const {
  int64_t size = kRegionBase;
  if (!pages_.empty()) size = pages_.rbegin()->first + kPageSize;
  return std::max(size, size_floor_);
}

bool TevFile::Write(const std::string& path) const {
  if (!std::ofstream(FsPath(path), std::ios::binary | std::ios::trunc)) return false;
  std::error_code error;
  std::filesystem::resize_file(FsPath(path), static_cast<uintmax_t>(FileSize()), error);
  std::fstream out = OpenInPlace(path);
  bool ok = !error && out.is_open() && WriteAll(out, fixed_, 0);
  for (const auto& [offset, page] : pages_) {
    if (!ok) break;
    // Pages of zeros stay holes: the resize already reads them back as zeros.
    if (std::any_of(page.begin(), page.end(), [](uint8_t b) { return b != 0; }))
      ok = WriteAll(out, page, offset);
  }
  out.close();
  return ok && !out.fail();
}

Bytes& TevFile::Chunk(int64_t offset) {
  const int64_t start = ChunkStart(offset);
  if (start == 0) return fixed_;
  Bytes& page = pages_[start];
  if (page.empty()) page.resize(static_cast<size_t>(kPageSize), 0);
  return page;
}

const Bytes* TevFile::FindChunk(int64_t offset) const {
  const int64_t start = ChunkStart(offset);
  if (start == 0) return &fixed_;
  const auto it = pages_.find(start);
  return it == pages_.end() ? nullptr : &it->second;
}

uint8_t TevFile::MapByte(int region, int page) const {
  const Bytes* map = FindChunk(PageOffset(region, 0));
  return map == nullptr ? 0 : (*map)[static_cast<size_t>(page)];
}

int64_t TevFile::AddFreePage(int table) {
  while (next_free_region_ < regions_) {
    while (next_free_page_ < kPagesPerRegion && MapByte(next_free_region_, next_free_page_) != 0)
      ++next_free_page_;
    if (next_free_page_ < kPagesPerRegion)
      return AddPage(next_free_region_, next_free_page_, table);
    ++next_free_region_;
    next_free_page_ = 1;
  }
  Require(false, "every region is full");
  return 0;
}

bool OverwriteFile(const std::string& path, int64_t offset, const Bytes& bytes) {
  std::fstream out = OpenInPlace(path);
  if (!out.is_open() || offset < 0) return false;
  const bool ok = WriteAll(out, bytes, offset);
  out.close();
  return ok && !out.fail();
}

bool TruncateFile(const std::string& path, int64_t size) {
  std::error_code error;
  if (size >= 0) std::filesystem::resize_file(FsPath(path), static_cast<uintmax_t>(size), error);
  return size >= 0 && !error;
}

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(FsPath(path), error);
  if (!in || error || size == 0) return {};
  Bytes out(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (static_cast<uintmax_t>(in.gcount()) != size) out.clear();
  return out;
}

}  // namespace tevwriter
