#include "PlatformFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace kinscope::platform {
namespace {

int g_last_error = 0;

void Remember(int error) { g_last_error = error; }

}  // namespace

FileHandle OpenExisting(const std::string& path, bool writable) {
  if (path.find('\0') != std::string::npos) {
    Remember(EINVAL);
    return kNoFile;
  }
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
    const ssize_t n = ::pread(file, out + done, count - done,
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
    const ssize_t n = ::pwrite(file, in + done, count - done,
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
  if (file != kNoFile) ::close(file);
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

}  // namespace kinscope::platform
