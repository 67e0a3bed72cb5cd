// SPDX-License-Identifier: GPL-3.0-or-later
// CTEVDatabase: the open database file.
//
// The one object through which a .tev file is read and written. It holds the
// file's header image, its page-count table, one page list per loaded region,
// and the read-only and modified flags. Operations report by integer result
// (1 success, 0 failure; OpenDatabase 1, -1 or -2); none shows a message or
// throws. On a read-only database every write succeeds without touching the
// file.
//
// File layout of the fixed areas:
//   0      1685 bytes  header
//   4096   8192 bytes  page-count table: 128 rows (regions) of 32 signed
//                      16-bit counts (pages of tables 1 to 32)
//   12288  ...         region 0; region r starts at r * 2^26 + 12288. Page 0
//                      of each region is its page map, one byte per page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IndexTree.h"
#include "Journal.h"
#include "NameRecords.h"
#include "PlatformFile.h"
#include "ReadCache.h"
#include "RecordTables.h"

namespace kinscope {

constexpr int kHeaderSize = 1685;
constexpr int64_t kPageCountOffset = 4096;
constexpr int kPageCountSize = 8192;
constexpr int64_t kRegionSize = int64_t{1} << 26;
constexpr int64_t kRegionBase = 12288;
constexpr int kMaxRegions = 31;
constexpr int kTableCount = 32;
constexpr int kPageCountRows = kPageCountSize / (kTableCount * 2);  // 128 regions' rows

// Results of OpenDatabase.
constexpr int kOpenOk = 1;
constexpr int kOpenCorrupt = -1;  // short header, wrong magic, bad page map or page-count table
constexpr int kOpenFailed = -2;   // the file cannot be opened; platform::LastError() tells why

// Header fields.
constexpr size_t kHdrVersionText = 0;      // "500" and a zero byte, stored on write-back
constexpr size_t kHdrMagic = 8;            // "TEV" and a zero byte
constexpr size_t kHdrRegionCount = 18;     // regions whose page maps are loaded
constexpr size_t kHdrIndividBound = 22;    // highest RIN that owns a name
constexpr size_t kHdrRootNode = 30;        // root of the individual index, first copy
constexpr size_t kHdrIndexNodeBound = 42;  // highest index node number
constexpr size_t kHdrRootNode2 = 50;       // root of the individual index, second copy
constexpr size_t kHdrNameAreaStart = 70;   // lowest offset of a name record link
constexpr size_t kHdrNameAreaEnd = 74;     // highest offset of a name record link
constexpr size_t kHdrModifyTime = 1637;    // 8 x u16: y, mon, wday, day, h, min, s, ms
constexpr size_t kHdrUpdateStart = 14;     // UpdateHeader writes bytes 14 to 729
constexpr size_t kHdrUpdateLength = 716;

class IndexKeyRanks;

class CTEVDatabase {
 public:
  // A closed database: zero header and page-count images, no page lists.
  CTEVDatabase();
  // Ends the change under way as CommitChange does (a failed one is rolled
  // back) and closes a file still open, without writing anything else to it.
  ~CTEVDatabase();
  CTEVDatabase(const CTEVDatabase&) = delete;
  CTEVDatabase& operator=(const CTEVDatabase&) = delete;

  // Opens the existing file at `path` (passed to the file system unchanged):
  // mode 0 for reading and writing, any other mode read-only. Reads the
  // header, loads the page map of each region the header counts (at most 31)
  // and reads the page-count table. Returns kOpenOk (1) when open;
  // kOpenCorrupt (-1) when the file is corrupt (short header, wrong magic, a
  // page map that fails, a short page-count table), the file then being
  // closed; kOpenFailed (-2) when the file cannot be opened (or is locked by a
  // writer), platform::LastError() telling why. Requires that no file is open
  // on this object (else kOpenFailed).
  //
  // Before anything is read, the journal beside the file is looked at
  // (Journal.h). Opened for writing, a valid journal that belongs to the
  // file is applied (the file is then as it was before the interrupted
  // change began, and Recovered() is true) and an unfinished one removed;
  // when a valid journal cannot be applied whole the open fails with
  // kOpenFailed and the journal stays (JournalRecovery() then says so).
  // Opened read-only, nothing is written. JournalFound() tells what stood
  // there.
  int OpenDatabase(const std::string& path, int32_t mode);

  // Stamps the header's modification time when something was written, writes
  // the header back, ends the change (CommitChange) and closes the file. Does
  // nothing when no file is open.
  void CloseDatabase();

  // Ends the change made by the writes since the open or the last end: when
  // none of them failed, syncs the file and spends and removes the journal,
  // returning 1; when one failed (its journal could not be written) or the
  // sync fails, puts every page the change wrote back as it was and returns
  // 0. Returns 1 when nothing was written and on a read-only database.
  // LastChangeEnd() tells how it ended.
  int CommitChange();

  // Ends the change under way by putting every page it wrote back as it was
  // (Journal.h). kUndone also when nothing was written and on a read-only
  // database.
  ChangeEnd RollBackChange();

  // How the last change ended (CommitChange or RollBackChange); kCommitted
  // before any.
  ChangeEnd LastChangeEnd() const { return last_end_; }

  // Whether a write of the change under way failed: the change can only be
  // rolled back, and every further write fails.
  bool ChangeFailed() const { return journal_ && journal_->Failed(); }
  // The platform's error code of the step of the change that failed last (a
  // write, the journal, a sync or a removal); 0 when none did.
  int ChangeError() const { return journal_ ? journal_->Error() : 0; }
  // Whether the last change ended with its spent journal still standing
  // beside the file (it could not be removed: ChangeError() tells why).
  bool JournalLeftBehind() const { return journal_ && journal_->LeftBehind(); }

  // What stood beside the file under the journal's name when it was opened.
  JournalState JournalFound() const { return journal_found_.report.state; }
  // The same with why an invalid journal was not applied.
  const JournalReport& JournalReportFound() const { return journal_found_.report; }
  // What a writable open did with it (Journal.h), and the error code of the
  // step that failed.
  Recovery JournalRecovery() const { return journal_found_.recovery; }
  int JournalRecoveryError() const { return journal_found_.error; }
  // Whether the open undid an interrupted change.
  bool Recovered() const {
    return journal_found_.recovery == Recovery::kUndone ||
           journal_found_.recovery == Recovery::kUndoneLeft;
  }
  // The path the file was opened by; empty before an open.
  const std::string& Path() const { return path_; }
  // Size of the file when it was opened.
  int64_t FileSize() const { return file_size_; }

  // Frees every page list. Does not close the file.
  void ReleasePageLists();

  // Stores "500" at header offset 0 and writes the whole header image at
  // offset 0. Does nothing on a read-only database; the result is not checked.
  void WriteHeader();

  // Writes header bytes 14 to 729 at offset 14. 1 on success, 0 on failure.
  int UpdateHeader();

  // Writes `count` bytes at absolute `offset`, first saving the original
  // bytes of the pages it covers in the journal (Journal.h). Returns 1 when
  // all were written, else 0: also when the range reaches beyond the end of
  // the file (a write never makes the file grow) or the journal cannot be
  // written, nothing being written to the file then. On a read-only
  // database writes nothing and returns 1.
  int WriteAt(int32_t offset, const uint8_t* bytes, int32_t count);

  // Reads up to `count` bytes at absolute `offset`; returns the number read.
  // Through the read cache while it is on.
  size_t ReadAt(int64_t offset, uint8_t* buffer, size_t count) const;

  // Starts a read cache of at most `bytes` of 8192-byte pages (ReadCache.h)
  // for a whole-file operation, which reads the records it walks one by one
  // in no order of the file's: each page is read once, whole, and its
  // records copied from it after that. On a writable database every write of
  // this object (WriteAt) drops the cached pages it touches and a rollback
  // drops them all, so a cached page is never stale; nothing else may write
  // the file while the cache is on. Returns true when it started one; false
  // when one is on already or the database is not open. Page reads stay
  // bounded: one read of 8192 bytes at a page boundary.
  bool StartReadCache(size_t bytes);
  // Stops the read cache and frees its pages. Closing the file stops it too.
  void StopReadCache();
  // Bytes the read cache holds (0 when it is off).
  size_t ReadCacheBytes() const { return cache_ ? cache_->HeldBytes() : 0; }

  // Loads the page map of `region` (0 to 30), replacing what was loaded for
  // it before. 1 on success; 0 on a short read or when the map's first byte
  // is not 11, nothing being changed then. The map is indexed on the first
  // lookup in the region.
  int LoadRegionMap(int32_t region);

  // Absolute file offset of record `number` of `table`, or 0 when there is no
  // such record: number below 1, beyond the pages the page-count table gives
  // the table in regions 0 to 30, or beyond the pages the region's page map
  // gives the table.
  int64_t LocateRecord(int32_t number, int table, int size, int per_page) const;

  // Reads record `number` into `buffer` (at least `size` bytes). 1 when the
  // whole record was read; 0 otherwise. The buffer is cleared first, so a
  // record not found reads as zeros and a short read leaves zeros after the
  // bytes read.
  int ReadRecord(uint8_t* buffer, int size, int32_t number, int table, int per_page);

  // Writes `size` bytes as record `number`. 0 when the record is not found or
  // the write fails; 1 otherwise, the modified flag then being set (also on a
  // read-only database, where nothing is written).
  int WriteRecord(const uint8_t* bytes, int size, int32_t number, int table, int per_page);

  // Record reads of the table of tables; each returns ReadRecord's result.
  int LoadIndivid(IndividImage& buffer, int32_t rin);
  int LoadMarr(MarrImage& buffer, int32_t mrin);
  int LoadNote(NoteImage& buffer, int32_t number);
  int LoadFamLink(FamLinkImage& buffer, int32_t number);
  int LoadCit(CitImage& buffer, int32_t number);
  int LoadIndexNode(IndexNodeImage& buffer, int32_t node);
  int LoadUserEv(UserEvImage& buffer, int32_t number);
  int LoadUserEvType(UserEvTypeImage& buffer, int32_t number);
  int LoadMedia(MediaImage& buffer, int32_t number);
  // Writes an index node; WriteRecord's result.
  int StoreIndexNode(const IndexNodeImage& node, int32_t number);

  // Reads the name record at `offset` into `buffer`, which is cleared first.
  // Returns the stored length (text length + 14), or 0 when the offset is
  // below 1 or fewer than 13 bytes could be read. The text is cut to 255
  // characters: byte 268 is always zero.
  int LoadNameRec(int32_t offset, NameRecImage& buffer);

  // Reads the individual's name record at `offset` into `buffer`, which is
  // cleared first. Returns the stored length (text length + 16, the text
  // counted up to its zero byte and at most 256 characters; nTextLen is not
  // looked at), or 0 when the offset is below 1 or fewer than 15 bytes could
  // be read.
  int LoadINameRec(int32_t offset, INameRecImage& buffer);

  // The text of the name record at `offset`; empty when it cannot be read.
  std::string NameRecText(int32_t offset);

  // Writes the text of `image` (its bytes before the zero byte, at most 256)
  // at offset + 15, leaving the head and the zero byte on disk alone, through
  // WriteAt (its pages saved in the journal first). Returns 1 when the text
  // was written, else 0 (nothing written); sets the modified flag
  // whether or not the write succeeded. On a read-only database writes
  // nothing, leaves the modified flag and returns 1.
  int StoreINameText(int32_t offset, const INameRecImage& image);

  // Index tree operations (IndexTree.h). Node reads and writes inside them
  // are not checked: a node that cannot be read reads as zeros.
  //
  // Sets one link of node `node` (nothing when below 1): the lesser node for
  // kLesserLink, the greater node for kGreaterLink, else the parent.
  void SetNodeLink(int32_t node, int32_t value, int32_t which);
  // Removes `node` from the tree: its lesser child takes its place and its
  // greater subtree hangs below the greatest node of the lesser subtree.
  // Changes nothing when its links are damaged: a link to itself, two equal
  // children, a negative parent, a number above the index node bound, or a
  // greater-link walk that meets a node twice or one of those faults. The
  // node's own image is not rewritten.
  void UnlinkNode(int32_t node);
  // Removes `node` from the tree when it is in it, then inserts it as a leaf
  // with `name_offset`, placed by the key of that individual's name record
  // before every equal key. The walk stops at a negative link, one above the
  // individual bound or a node met twice, and links the node below the last
  // node read. Raises the individual bound to node + 1 when below the node
  // (the largest node number leaves it as it is). A root of 0 or below, before
  // or after the removal, reaches no node: the node becomes the root.
  void ReinsertNode(int32_t node, int32_t name_offset);
  // The same, node for node and byte for byte, comparing by the ranks of
  // `ranks` (IndexKeyRanks.h) wherever the node inserted and the node passed
  // both have one: for many re-insertions, whose keys are then made once.
  void ReinsertNode(int32_t node, int32_t name_offset, IndexKeyRanks& ranks);

  // The header image, an exact copy of file bytes 0 to 1684 (plus what the
  // engine changed in memory).
  const std::array<uint8_t, kHeaderSize>& Header() const { return header_; }
  int32_t HeaderI32(size_t offset) const;
  void SetHeaderI32(size_t offset, int32_t value);

  bool IsOpen() const { return file_ != platform::kNoFile; }
  bool IsReadOnly() const { return read_only_; }
  bool IsModified() const { return modified_; }
  void SetModified() { modified_ = true; }
  // Number of page lists allocated (one per loaded region).
  int PageListCount() const { return static_cast<int>(page_lists_.size()); }
  // Pages of `table` (1 to 32) in `region` per the page-count table; 0 for a
  // region or table out of range.
  int PageCount(int region, int table) const;
  // Pages 1 to 8191 that the page map of `region` gives `table` (1 to 32);
  // 0 for a region whose map is not loaded or a table out of range. Records
  // of the table in the region lie on no more pages than this.
  int MappedPages(int region, int table) const;

 private:
  // One loaded region. Its page map is read and checked when it is loaded
  // and kept as it was read; the first lookup of a table in the region
  // gathers that table's pages from it, and once every table's are gathered
  // the raw map goes. Opening a file thus costs the reads of its maps and
  // nothing more, and a lookup costs one pass over one map for the table it
  // asks for, the first time. The groups are a cache of the map: making them
  // changes no answer, so the lookups that make them stay const, and the
  // members they fill are mutable. One thread at a time uses the object.
  struct RegionMap {
    // The map bytes while a table's group is still to be made; none for a
    // region that was never loaded (every lookup in it finds nothing).
    mutable std::unique_ptr<uint8_t[]> raw;
    // Bit t: the group of table t (1 to 32) is made.
    mutable uint64_t made = 0;
    // groups[t]: the pages 1 to 8191 the map gives table t, in ascending
    // order. Allocated with the first group made.
    mutable std::unique_ptr<std::vector<int16_t>[]> groups;
  };
  // Reads the name record at `offset` into `buffer` without clearing it
  // first and sets `text` to the length of its text, counted only over the
  // bytes read (at most 255). False when the offset is below 1 or fewer than
  // 13 bytes could be read. Bytes of `buffer` beyond those read are left as
  // they were, except the last, which is set to zero.
  bool ReadNameRec(int32_t offset, NameRecImage& buffer, size_t& text);

  // The pages region `region` (below page_lists_.size()) gives table `table`
  // (1 to 32), gathered from its raw map on first use; none for a region
  // that was never loaded.
  const std::vector<int16_t>* Group(size_t region, size_t table) const;

  std::array<uint8_t, kHeaderSize> header_{};
  platform::FileHandle file_ = platform::kNoFile;
  bool read_only_ = false;
  std::array<uint8_t, kPageCountSize> page_counts_{};
  std::vector<RegionMap> page_lists_;
  bool modified_ = false;
  std::string path_;
  int64_t file_size_ = 0;
  std::unique_ptr<JournalWriter> journal_;  // for a file open for writing
  RecoveryResult journal_found_;
  ChangeEnd last_end_ = ChangeEnd::kCommitted;
  mutable std::unique_ptr<ReadCache> cache_;  // none unless started
};

// The read cache of the whole-file operations: 64 MB, which holds the index
// nodes and the individual's name records of a file of a million names.
constexpr size_t kWholeFileReadCache = size_t{64} << 20;

// A read cache for the length of a whole-file operation: started when made
// (see StartReadCache), stopped when gone if this scope started it.
class ReadCacheScope {
 public:
  explicit ReadCacheScope(CTEVDatabase& db, size_t bytes = kWholeFileReadCache)
      : db_(db), started_(db.StartReadCache(bytes)) {}
  ~ReadCacheScope() {
    if (started_) db_.StopReadCache();
  }
  ReadCacheScope(const ReadCacheScope&) = delete;
  ReadCacheScope& operator=(const ReadCacheScope&) = delete;

 private:
  CTEVDatabase& db_;
  bool started_;
};

// Frees the page lists of `db` and, when `free_object`, the object itself
// (leaving `db` empty). Does not close the file. Does nothing when `db` is
// empty.
void ReleaseDatabase(std::unique_ptr<CTEVDatabase>& db, bool free_object);

}  // namespace kinscope
