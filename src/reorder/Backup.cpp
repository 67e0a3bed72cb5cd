#include "Backup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kinscope {
namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

std::string Stamp(std::time_t now) {
  std::tm local{};
  char text[32] = "";
  if (localtime_r(&now, &local) != nullptr) std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// Writes all of `data` to `fd`; false on an error.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string BackupDatabase(const std::string& path, std::time_t now, std::string& error) {
  const Fd in{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) {
    error = std::string("cannot read the database: ") + std::strerror(errno);
    return std::string();
  }
  const std::string base = path + "." + Stamp(now);
  std::string copy;
  Fd out{-1};
  for (int n = 1; n <= 100 && out.fd < 0; ++n) {
    copy = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".bak";
    out.fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out.fd < 0 && errno != EEXIST) break;
  }
  if (out.fd < 0) {
    error = "cannot create " + copy + ": " + std::strerror(errno);
    return std::string();
  }
  std::vector<char> buffer(1 << 16);
  bool sound = true;
  for (;;) {
    const ssize_t n = ::read(in.fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) sound = false;
    if (n <= 0) break;
    if (!WriteAll(out.fd, buffer.data(), static_cast<size_t>(n))) {
      sound = false;
      break;
    }
  }
  if (sound && ::fsync(out.fd) != 0) sound = false;
  if (!sound) {
    error = "cannot write " + copy + ": " + std::strerror(errno);
    ::unlink(copy.c_str());
    return std::string();
  }
  return copy;
}

}  // namespace kinscope
