// SPDX-License-Identifier: GPL-3.0-or-later
// Builds .tev database files for tests and for the sample database.
//
// The writer works from the file layout alone: the header and the
// page-count table at their fixed offsets, one page map per region, pages of
// 8192 bytes owned by tables, fixed-size records numbered through the pages of
// their table, and variable-length name records addressed by file offset.
// Everything is kept in memory and written as a sparse file, so a test can
// place a page in region 30 without writing two gigabytes.
//
// Misuse (a region without a page map, a page outside 1 to 8191 or already
// owned, a record slot that does not exist, a record larger than a page)
// throws std::logic_error: a test must not go on with a file it did not mean.
//
// The writer and the sample generator state every offset themselves and
// never use the reader's record layouts: they are the independent check of
// those layouts, so a wrong offset on one side shows as a failing test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tevwriter {

using Bytes = std::vector<uint8_t>;

// File layout constants.
constexpr int64_t kHeaderSize = 1685;
constexpr int64_t kPageCountOffset = 4096;
constexpr int64_t kPageSize = 8192;
constexpr int64_t kRegionSize = int64_t{1} << 26;
constexpr int64_t kRegionBase = 12288;
constexpr int kMaxRegions = 31;
constexpr int kPageMapTable = 11;
// Table that owns the pages holding name records and individual's name records.
constexpr int kNameTable = 1;

// Little-endian stores into a byte image; the image grows when too short.
void PutU8(Bytes& image, size_t offset, uint8_t value);
void PutU16(Bytes& image, size_t offset, uint16_t value);
void PutI16(Bytes& image, size_t offset, int16_t value);
void PutI32(Bytes& image, size_t offset, int32_t value);
// Copies text into image at offset; no terminator is added.
void PutText(Bytes& image, size_t offset, const std::string& text);

// File offset of page `page` of region `region`.
int64_t PageOffset(int region, int page);

class TevFile {
 public:
  // A file with `regions` page maps (0 to 31). The header holds the magic
  // "TEV", the text "500" and a region count of `regions`.
  explicit TevFile(int regions = 1);

  // Header fields.
  void SetHeaderI32(int offset, int32_t value);
  void SetHeaderBytes(int offset, const Bytes& bytes);
  int32_t HeaderI32(int offset) const;
  // Stores the root node in both copies (offsets 30 and 50).
  void SetRootNode(int32_t node);

  // Gives page `page` (1 to 8191) of region `region` to `table`: sets the map
  // byte and adds one to the page-count entry of (region, table). The region
  // must have a page map. Returns the file offset of the page.
  int64_t AddPage(int region, int page, int table);
  // Raw access for damaged files: a page map byte (byte 0 included), and a
  // page-count entry without touching any map.
  void SetMapByte(int region, int page, uint8_t value);
  void SetPageCount(int region, int table, int16_t count);
  int16_t PageCount(int region, int table) const;

  // File offset of record `number` (1-based) of a table whose records are
  // `size` bytes, found by walking the pages the page maps give to the table
  // (not the page-count table): regions ascending, pages ascending, slots in
  // a page. Returns 0 when the table has no such record slot.
  int64_t RecordOffset(int table, int size, int32_t number) const;
  // Stores a record image at record `number`; the slot must exist.
  void PutRecord(int table, int32_t number, const Bytes& record);
  // Appends a record after the last used record of the table, giving the
  // table the next free page (region 0 first, then the next region with a
  // page map) when its pages are full. Returns the new record number.
  int32_t AppendRecord(int table, const Bytes& record);

  // Appends a name record (13-byte head, text, zero byte) to the name pages
  // and returns its file offset. Records never straddle a page.
  int32_t AppendNameRec(int32_t less, int32_t greater, int32_t parent, int8_t type,
                        const std::string& text);
  // Appends an individual's name record (15-byte head with nTextLen set to
  // the text length, text, zero byte); returns its file offset.
  int32_t AppendINameRec(int32_t next, int32_t previous, int32_t owner, uint8_t type,
                         const std::string& text);
  // Appends raw bytes to the name pages and returns their file offset.
  int32_t AppendRaw(const Bytes& bytes);
  // Appends an index node (table 10): greater, lesser, parent, name offset.
  int32_t AppendIndexNode(int32_t greater, int32_t lesser, int32_t parent, int32_t name);

  // Overwrites bytes at an absolute file offset (any page, header included).
  void Patch(int64_t offset, const Bytes& bytes);
  void PatchI32(int64_t offset, int32_t value);

  // Bytes of the file as Write would store them, from offset for count bytes
  // (zeros where nothing was written).
  Bytes Read(int64_t offset, size_t count) const;
  // Size of the file Write produces: the end of the last page in use, at
  // least 12288 + 8192 when region 0 has a map, at least 12288 otherwise.
  int64_t FileSize() const;
  // Makes the written file at least `size` bytes long (to test short files
  // use TruncateFile after Write).
  void SetFileSize(int64_t size) { size_floor_ = size; }
  // Writes the file (sparse: only written chunks are stored). True on success.
  bool Write(const std::string& path) const;

 private:
  // Chunks of the file keyed by page-aligned offset (the first chunk is the
  // 12288-byte fixed area, then 8192-byte pages).
  Bytes& Chunk(int64_t offset);
  const Bytes* FindChunk(int64_t offset) const;
  uint8_t MapByte(int region, int page) const;
  // Gives the next page that no table owns to `table`, the regions with a
  // page map taken in order; returns its file offset.
  int64_t AddFreePage(int table);
  // Pages of `table` (1 to 32) in file order, as the maps give them; made
  // again from the maps after a Patch over a map.
  const std::vector<int64_t>& TablePages(int table) const;

  int regions_;
  Bytes fixed_;                     // bytes 0 to 12287
  std::map<int64_t, Bytes> pages_;  // page offset -> 8192 bytes
  std::map<int, int32_t> used_;     // table -> records appended so far
  int next_free_region_ = 0;        // where the next free page is looked for
  int next_free_page_ = 1;
  // Pages of each table in file order (map order), kept as the maps change,
  // so that appending a million records does not walk the maps each time.
  mutable std::vector<std::vector<int64_t>> table_pages_;
  mutable bool table_pages_stale_ = true;
  int64_t name_cursor_ = 0;    // next free byte of the name pages
  int64_t name_page_end_ = 0;  // end of the current name page
  int64_t size_floor_ = 0;     // size asked for by SetFileSize
};

// Damage and inspection of written files.
bool OverwriteFile(const std::string& path, int64_t offset, const Bytes& bytes);
bool TruncateFile(const std::string& path, int64_t size);
// Whole file contents; empty when it cannot be read.
Bytes ReadWholeFile(const std::string& path);

}  // namespace tevwriter
