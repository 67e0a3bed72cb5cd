// SPDX-License-Identifier: GPL-3.0-or-later
// The file operations the database engine needs from the operating system.
//
// A thin layer over the system: open an existing file, positioned reads and
// writes that report how many bytes they moved, close, the error code of the
// last failed operation, and the local and UTC clocks; and for the files
// Kinscope writes (journal, backup, log, trace file, GEDCOM export): create a
// new file, append, sync, rename, remove, and the checks that keep such
// writes from going through a link or into another user's file. Every call to the operating
// system in the program is made here; the engine's writes of a database and
// its journal pass through PlatformSeam.h first.
//
// Two openers of one file conflict exactly when one of them writes: on POSIX
// a file opened for writing holds an exclusive advisory lock and a file
// opened for reading a shared one, both taken without waiting; on Windows a
// file opened for writing lets others read it only, and one opened for
// reading lets others read it and stands in no reader's way.
// PlatformFile.cpp is the POSIX layer, PlatformFileWin32.cpp the Windows one;
// the build takes one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kinscope::platform {

// The open file: a POSIX descriptor or a Windows handle, held in an integer
// wide enough for either; kNoFile when none.
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// Opens the existing file at `path` for reading and writing when `writable`,
// else for reading only, and locks or shares it as described above. On POSIX
// the path's bytes go to the file system as they are; on Windows the path is
// UTF-8. Never creates a file. Returns kNoFile on failure and records the
// error code (LastError).
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

// Creates a new file at `path` for reading and writing. Fails (kNoFile,
// LastError set) when anything already stands at `path`, a symbolic link
// included; never follows a link. Permissions 0600 where the system has them.
FileHandle CreateNew(const std::string& path);

// Opens the file at `path` for appending (writes go to its end), creating it
// when missing. Refuses (kNoFile) a symbolic link, anything that is not a
// regular file, or a file owned by another user.
FileHandle OpenAppend(const std::string& path);

// Opens the existing file at `path` for reading only, without a lock.
// Refuses (kNoFile) a symbolic link, anything that is not a regular file, or
// a file owned by another user.
FileHandle OpenOwnFile(const std::string& path);

// Appends `count` bytes to a file opened with OpenAppend; the number written.
size_t Append(FileHandle file, const void* buffer, size_t count);

// Flushes what was written to `file` to the disk. True on success.
bool Sync(FileHandle file);

// Size of the open file in bytes; -1 on error.
int64_t FileSize(FileHandle file);

// Where the bytes the file holds resume at or after `offset`: `offset`
// itself where the system cannot tell, and the end of the file when it holds
// only a hole from there (one that reads as zeros). Lets a copy skip holes.
int64_t NextData(FileHandle file, int64_t offset);

// Removes the file at `path`. True on success.
bool RemoveFile(const std::string& path);

// Renames the file at `from` to `to`, replacing what stands at `to` (a link
// there is replaced, not followed), in one step: a reader of `to` sees the
// old file or the new one, never a part. On Windows the move is written
// through before it returns. True on success.
bool RenameOver(const std::string& from, const std::string& to);

// Whether anything stands at `path` (a symbolic link is not followed).
bool Exists(const std::string& path);

// Whether `a` and `b` name the same file (links followed: a link and the
// file it leads to are the same file). False when either names nothing.
bool SameFile(const std::string& a, const std::string& b);

// Makes the creation or removal of a file in the folder that holds `path`
// durable. True on success; true and nothing done where the system needs no
// such step.
bool SyncFolder(const std::string& path);

// Creates the folder `path` and its missing parents, each readable by the
// user alone where the system has such rights. True when a folder stands at
// `path` afterwards.
bool MakeFolders(const std::string& path);

// The user's home folder: $HOME when it holds an absolute path, else the
// one the system's user database gives; empty when neither does.
std::string HomeFolder();

// Error code of the last failed operation of this layer: the errno value on
// POSIX, the GetLastError value on Windows (2 no such file, 3 no such folder,
// 5 access denied, 32 in use by another process).
int LastError();

// Records `code` as the last error, as a failed call would: for a seam that
// acts out a failure (a full disk, say).
void RememberError(int code);

// What an error code of this layer means to the user, the same on every
// system; kOther for the codes that need the system's own words.
enum class ErrorKind {
  kOther,
  kNoSuchFile,    // ENOENT; 2
  kNoSuchFolder,  // ENOTDIR; 3
  kLocked,        // the lock another opener holds (EWOULDBLOCK); 32 and 33, in use
  kReadOnlyDisk,  // EROFS; 19, write-protected
  kNoPermission,  // EACCES, EPERM; 5
  kDiskFull,      // ENOSPC, EDQUOT, EFBIG (a file-size limit); 39 and 112
  kExists,        // EEXIST; 80 and 183
};
ErrorKind KindOfError(int code);

// The system's own words for `code` (strerror; FormatMessage on Windows).
std::string ErrorText(int code);

// What stands at `path`; a symbolic link (a reparse point on Windows) is not
// followed.
enum class PathKind { kNothing, kRegular, kLink, kFolder, kOther };
PathKind KindOfPath(const std::string& path);

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

// The time now, in seconds after 1970-01-01 00:00 UTC.
int64_t UtcSeconds();

// The time `seconds` after 1970-01-01 00:00 UTC (before it when negative) in
// the local time zone, broken down, milliseconds 0. False when the system
// cannot convert it. On Windows, whose C library converts nothing before
// 1970, such times take the zone's standard offset.
bool LocalTimeOf(int64_t seconds, LocalTime& out);

}  // namespace kinscope::platform
