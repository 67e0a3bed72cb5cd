// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlatformFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace kinscope::platform {
namespace {

int g_last_error = 0;

void Remember(int error) { g_last_error = error; }

int Fd(FileHandle file) { return static_cast<int>(file); }

bool HasZero(const std::string& path) {
  if (path.find('\0') == std::string::npos) return false;
  Remember(EINVAL);
  return true;
}

// `fd`, the result of an open, when it is a regular file of the user; else
// kNoFile, the descriptor closed and the reason remembered.
FileHandle OwnRegularFile(int fd) {
  if (fd < 0) {
    Remember(errno);
    return kNoFile;
  }
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  if (known && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) return fd;
  Remember(!known ? errno : S_ISREG(st.st_mode) ? EPERM : EINVAL);
  ::close(fd);
  return kNoFile;
}

// Writes the `count` bytes of `buffer` by calls of `write(from, done, n)`,
// which write up to `n` bytes from `from` (`done` bytes being written
// already) and return how many, or -1. Goes on after EINTR; stops at an
// error (remembered) or at a call that writes nothing. Returns the bytes
// written.
template <typename Write>
size_t WriteAll(const void* buffer, size_t count, Write&& write) {
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = write(in + done, done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Remember(errno);
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

// The folder that holds `path`: the part before its last "/", "." when it
// has none, "/" for a file in the root.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FileHandle OpenExisting(const std::string& path, bool writable) {
  if (HasZero(path)) return kNoFile;
  const int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    Remember(errno);
    return kNoFile;
  }
  if (::flock(fd, (writable ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    Remember(errno);
    ::close(fd);
    return kNoFile;
  }
  return fd;
}

size_t ReadAt(FileHandle file, int64_t offset, void* buffer, size_t count) {
  if (offset < 0) {
    Remember(EINVAL);
    return 0;
  }
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(Fd(file), out + done, count - done,
                              static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Remember(errno);
      break;
    }
    if (n == 0) break;  // end of file
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t WriteAt(FileHandle file, int64_t offset, const void* buffer, size_t count) {
  if (offset < 0) {
    Remember(EINVAL);
    return 0;
  }
  return WriteAll(buffer, count, [&](const char* from, size_t done, size_t n) {
    return ::pwrite(Fd(file), from, n, static_cast<off_t>(offset) + static_cast<off_t>(done));
  });
}

FileHandle CreateNew(const std::string& path) {
  if (HasZero(path)) return kNoFile;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) Remember(errno);
  return fd < 0 ? kNoFile : fd;
}

FileHandle OpenAppend(const std::string& path) {
  if (HasZero(path)) return kNoFile;
  // Without waiting: a named pipe standing there must not block the open.
  return OwnRegularFile(::open(
      path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
}

FileHandle OpenOwnFile(const std::string& path) {
  if (HasZero(path)) return kNoFile;
  return OwnRegularFile(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
}

size_t Append(FileHandle file, const void* buffer, size_t count) {
  return WriteAll(buffer, count,
                  [&](const char* from, size_t, size_t n) { return ::write(Fd(file), from, n); });
}

bool Sync(FileHandle file) {
  if (::fsync(Fd(file)) == 0) return true;
  Remember(errno);
  return false;
}

int64_t FileSize(FileHandle file) {
  struct stat st {};
  if (::fstat(Fd(file), &st) == 0) return static_cast<int64_t>(st.st_size);
  Remember(errno);
  return -1;
}

int64_t NextData(FileHandle file, int64_t offset) {
#ifdef SEEK_DATA
  const off_t at = ::lseek(Fd(file), static_cast<off_t>(offset), SEEK_DATA);
  if (at >= 0) return static_cast<int64_t>(at);
  // No data from there on: the rest is a hole.
  if (errno == ENXIO) return std::max<int64_t>(offset, FileSize(file));
#endif
  return offset;
}

bool RemoveFile(const std::string& path) {
  if (HasZero(path)) return false;
  if (::unlink(path.c_str()) == 0) return true;
  Remember(errno);
  return false;
}

bool RenameOver(const std::string& from, const std::string& to) {
  if (HasZero(from) || HasZero(to)) return false;
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  Remember(errno);
  return false;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return !HasZero(path) && ::lstat(path.c_str(), &st) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  if (HasZero(a) || HasZero(b) || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) {
    return false;
  }
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool SyncFolder(const std::string& path) {
  if (HasZero(path)) return false;
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Remember(errno);
    return false;
  }
  const bool synced = ::fsync(fd) == 0;
  if (!synced) Remember(errno);
  ::close(fd);
  return synced;
}

bool MakeFolders(const std::string& path) {
  if (HasZero(path) || path.empty()) return false;
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      Remember(errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* user = ::getpwuid(::getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  return home != nullptr && home[0] == '/' ? std::string(home) : std::string();
}

void Close(FileHandle file) {
  if (file != kNoFile) ::close(Fd(file));
}

int LastError() { return g_last_error; }

void RememberError(int code) { Remember(code); }

ErrorKind KindOfError(int code) {
  switch (code) {
    case ENOENT:
      return ErrorKind::kNoSuchFile;
    case ENOTDIR:
      return ErrorKind::kNoSuchFolder;
    case EWOULDBLOCK:
      return ErrorKind::kLocked;
    case EROFS:
      return ErrorKind::kReadOnlyDisk;
    case EACCES:
    case EPERM:
      return ErrorKind::kNoPermission;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ErrorKind::kDiskFull;
    case EEXIST:
      return ErrorKind::kExists;
    default:
      return ErrorKind::kOther;
  }
}

std::string ErrorText(int code) { return std::strerror(code); }

PathKind KindOfPath(const std::string& path) {
  struct stat st {};
  if (HasZero(path) || ::lstat(path.c_str(), &st) != 0) return PathKind::kNothing;
  if (S_ISLNK(st.st_mode)) return PathKind::kLink;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  return S_ISREG(st.st_mode) ? PathKind::kRegular : PathKind::kOther;
}

LocalTime Now() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  const time_t seconds = ts.tv_sec;
  ::localtime_r(&seconds, &tm);
  LocalTime t{};
  t.year = static_cast<uint16_t>(tm.tm_year + 1900);
  t.month = static_cast<uint16_t>(tm.tm_mon + 1);
  t.day_of_week = static_cast<uint16_t>(tm.tm_wday);
  t.day = static_cast<uint16_t>(tm.tm_mday);
  t.hour = static_cast<uint16_t>(tm.tm_hour);
  t.minute = static_cast<uint16_t>(tm.tm_min);
  t.second = static_cast<uint16_t>(tm.tm_sec);
  t.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
  return t;
}

int64_t UtcSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec);
}

bool LocalTimeOf(int64_t seconds, LocalTime& out) {
  const auto t = static_cast<time_t>(seconds);
  std::tm tm{};
  if (static_cast<int64_t>(t) != seconds || ::localtime_r(&t, &tm) == nullptr) return false;
  out = LocalTime{static_cast<uint16_t>(tm.tm_year + 1900), static_cast<uint16_t>(tm.tm_mon + 1),
                  static_cast<uint16_t>(tm.tm_wday),        static_cast<uint16_t>(tm.tm_mday),
                  static_cast<uint16_t>(tm.tm_hour),        static_cast<uint16_t>(tm.tm_min),
                  static_cast<uint16_t>(tm.tm_sec),         0};
  return true;
}

}  // namespace kinscope::platform
