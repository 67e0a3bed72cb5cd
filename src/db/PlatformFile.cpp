#include "PlatformFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

namespace kinscope::platform {
namespace {

int g_last_error = 0;

void Remember(int error) { g_last_error = error; }

int Fd(FileHandle file) { return static_cast<int>(file); }

bool HasNul(const std::string& path) {
  if (path.find('\0') == std::string::npos) return false;
  Remember(EINVAL);
  return true;
}

}  // namespace

FileHandle OpenExisting(const std::string& path, bool writable) {
  if (HasNul(path)) return kNoFile;
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
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(Fd(file), in + done, count - done,
                               static_cast<off_t>(offset) + static_cast<off_t>(done));
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

void Close(FileHandle file) {
  if (file != kNoFile) ::close(Fd(file));
}

int LastError() { return g_last_error; }

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

FileHandle CreateNew(const std::string& path) {
  if (HasNul(path)) return kNoFile;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) Remember(errno);
  return fd < 0 ? kNoFile : fd;
}

FileHandle OpenAppend(const std::string& path) {
  if (HasNul(path)) return kNoFile;
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    Remember(errno);
    return kNoFile;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    Remember(EPERM);
    ::close(fd);
    return kNoFile;
  }
  return fd;
}

size_t Append(FileHandle file, const void* buffer, size_t count) {
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(Fd(file), in + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) Remember(errno);
      break;
    }
    done += static_cast<size_t>(n);
  }
  return done;
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

bool RemoveFile(const std::string& path) {
  if (HasNul(path)) return false;
  if (::unlink(path.c_str()) == 0) return true;
  Remember(errno);
  return false;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return !HasNul(path) && ::lstat(path.c_str(), &st) == 0;
}

bool SyncFolder(const std::string& path) {
  if (HasNul(path)) return false;
  const size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Remember(errno);
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  if (!ok) Remember(errno);
  ::close(fd);
  return ok;
}

}  // namespace kinscope::platform
