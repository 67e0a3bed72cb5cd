// The file operations the database engine needs from the operating system.
//
// A thin layer over POSIX: open an existing file, positioned reads and writes
// that report how many bytes they moved, close, the error code of the last
// failed operation, and the local clock. A file opened for writing holds an
// exclusive advisory lock and a file opened for reading a shared one, both
// taken without waiting, so two openers conflict exactly when one of them
// writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kinscope::platform {

// Descriptor of an open file; kNoFile when none.
using FileHandle = int;
constexpr FileHandle kNoFile = -1;

// Opens the existing file at `path` (bytes passed to the file system as they
// are) for reading and writing when `writable`, else for reading only, and
// locks it as described above. Never creates a file. Returns kNoFile on
// failure and records the error code (LastError).
FileHandle OpenExisting(const std::string& path, bool writable);

// Reads up to `count` bytes at absolute `offset` into `buffer`, going on after
// partial reads until `count` bytes, the end of the file or an error. Returns
// the number of bytes read (0 on error or at a negative offset).
size_t ReadAt(FileHandle file, int64_t offset, void* buffer, size_t count);

// Writes `count` bytes at absolute `offset`, going on after partial writes.
// Returns the number of bytes written.
size_t WriteAt(FileHandle file, int64_t offset, const void* buffer, size_t count);

// Closes the file; the lock goes with it.
void Close(FileHandle file);

// Error code (errno value) of the last failed operation of this layer.
int LastError();

// Local wall-clock time, broken down.
struct LocalTime {
  uint16_t year;
  uint16_t month;        // 1 to 12
  uint16_t day_of_week;  // 0 = Sunday
  uint16_t day;          // 1 to 31
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t milliseconds;
};
LocalTime Now();

}  // namespace kinscope::platform
