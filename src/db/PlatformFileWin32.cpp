// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows file layer: the declarations of PlatformFile.h on Win32.
//
// Paths arrive as UTF-8 and go to CreateFileW as UTF-16; a path too long for
// the classic limit is made absolute and given the \\?\ prefix. A file opened
// for writing is shared with readers only, a file opened for reading with
// readers only too, so a writer and any other opener conflict and readers
// never do (error 32). Reads and writes are positioned through OVERLAPPED
// offsets, so no shared file pointer is moved.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <climits>
#include <ctime>
#include <string>

#include "PlatformFile.h"

namespace kinscope::platform {
namespace {

DWORD g_last_error = 0;

void Remember(DWORD error) { g_last_error = error; }
void RememberLast() { g_last_error = ::GetLastError(); }

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// CreateFileW's INVALID_HANDLE_VALUE is the handle -1, which is kNoFile.
FileHandle FromHandle(HANDLE handle) {
  const auto file = reinterpret_cast<FileHandle>(handle);
  if (file == kNoFile) RememberLast();
  return file;
}

// Paths longer than this take the \\?\ form (the classic limit of 260 less
// room for a file name that a folder path must leave).
constexpr size_t kClassicPathLimit = 248;

// `path` (UTF-8) as UTF-16 for the wide file functions; false, with the error
// remembered, when it holds a zero byte or is not UTF-8.
bool WidePath(const std::string& path, std::wstring& out) {
  if (path.empty() || path.find('\0') != std::string::npos || path.size() > INT_MAX / 2) {
    Remember(ERROR_INVALID_NAME);
    return false;
  }
  const int in_size = static_cast<int>(path.size());
  const int n =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), in_size, nullptr, 0);
  if (n <= 0) {
    RememberLast();
    return false;
  }
  std::wstring wide(static_cast<size_t>(n), L'\0');
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), in_size, wide.data(), n) !=
      n) {
    RememberLast();
    return false;
  }
  if (wide.size() < kClassicPathLimit || wide.rfind(L"\\\\?\\", 0) == 0) {
    out = std::move(wide);
    return true;
  }
  const DWORD full_size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (full_size == 0) {
    RememberLast();
    return false;
  }
  std::wstring full(full_size, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), full_size, full.data(), nullptr);
  if (got == 0 || got >= full_size) {
    RememberLast();
    return false;
  }
  full.resize(got);
  // \\server\share\... becomes \\?\UNC\server\share\..., C:\... becomes \\?\C:\...
  out = full.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
  return true;
}

// The part of a transfer one ReadFile or WriteFile call takes.
DWORD Chunk(size_t left) { return left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left); }

OVERLAPPED At(int64_t offset) {
  OVERLAPPED at{};
  const auto u = static_cast<uint64_t>(offset);
  at.Offset = static_cast<DWORD>(u & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(u >> 32);
  return at;
}

// Writes the `count` bytes of `buffer` at `*offset` on, or, with no offset,
// where the handle writes (the end, for a handle opened to append). Stops at
// an error (remembered) or a call that writes nothing. Returns the bytes
// written.
size_t WriteAll(FileHandle file, const int64_t* offset, const void* buffer, size_t count) {
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    OVERLAPPED at = At(offset == nullptr ? 0 : *offset + static_cast<int64_t>(done));
    DWORD n = 0;
    if (!::WriteFile(Handle(file), in + done, Chunk(count - done), &n,
                     offset == nullptr ? nullptr : &at)) {
      RememberLast();
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

// Days since 1970-01-01 as year, month (1 to 12) and day of the month.
void CivilFromDays(int64_t days, LocalTime& out) {
  days += 719468;  // days from 0000-03-01 to 1970-01-01
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  out.year = static_cast<uint16_t>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
  out.month = static_cast<uint16_t>(month);
  out.day = static_cast<uint16_t>(day_of_year - (153 * mp + 2) / 5 + 1);
}

// `file` when it is a regular file on a disk (not a link, a folder or a
// device); otherwise closes it and gives kNoFile, error 5 remembered.
FileHandle RegularFileOnly(FileHandle file) {
  if (file == kNoFile) return kNoFile;
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD refused =
      FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
  if (::GetFileType(Handle(file)) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(Handle(file), &info) ||
      (info.dwFileAttributes & refused) != 0) {
    Remember(ERROR_ACCESS_DENIED);
    ::CloseHandle(Handle(file));
    return kNoFile;
  }
  return file;
}

}  // namespace

FileHandle OpenExisting(const std::string& path, bool writable) {
  std::wstring wide;
  if (!WidePath(path, wide)) return kNoFile;
  const DWORD access = writable ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
  return FromHandle(::CreateFileW(wide.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

size_t ReadAt(FileHandle file, int64_t offset, void* buffer, size_t count) {
  if (offset < 0) {
    Remember(ERROR_NEGATIVE_SEEK);
    return 0;
  }
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    OVERLAPPED at = At(offset + static_cast<int64_t>(done));
    DWORD n = 0;
    if (!::ReadFile(Handle(file), out + done, Chunk(count - done), &n, &at)) {
      if (::GetLastError() != ERROR_HANDLE_EOF) RememberLast();
      break;
    }
    if (n == 0) break;  // end of file
    done += n;
  }
  return done;
}

size_t WriteAt(FileHandle file, int64_t offset, const void* buffer, size_t count) {
  if (offset < 0) {
    Remember(ERROR_NEGATIVE_SEEK);
    return 0;
  }
  return WriteAll(file, &offset, buffer, count);
}

void Close(FileHandle file) {
  if (file != kNoFile) ::CloseHandle(Handle(file));
}

int LastError() { return static_cast<int>(g_last_error); }

void RememberError(int code) { Remember(static_cast<DWORD>(code)); }

ErrorKind KindOfError(int code) {
  switch (static_cast<DWORD>(code)) {
    case ERROR_FILE_NOT_FOUND:
      return ErrorKind::kNoSuchFile;
    case ERROR_PATH_NOT_FOUND:
      return ErrorKind::kNoSuchFolder;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return ErrorKind::kLocked;
    case ERROR_WRITE_PROTECT:
      return ErrorKind::kReadOnlyDisk;
    case ERROR_ACCESS_DENIED:
      return ErrorKind::kNoPermission;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return ErrorKind::kDiskFull;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return ErrorKind::kExists;
    default:
      return ErrorKind::kOther;
  }
}

std::string ErrorText(int code) {
  char text[512] = "";
  const DWORD n =
      ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  std::string out(text, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) {
    out.pop_back();
  }
  return out.empty() ? "error " + std::to_string(code) : out;
}

PathKind KindOfPath(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return PathKind::kNothing;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == 0xFFFFFFFFu) return PathKind::kNothing;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return PathKind::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::kFolder;
  return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? PathKind::kOther : PathKind::kRegular;
}

LocalTime Now() {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth,  st.wDayOfWeek, st.wDay,
                   st.wHour, st.wMinute, st.wSecond,    st.wMilliseconds};
}

int64_t UtcSeconds() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  // 100-nanosecond steps since 1601-01-01; 11644473600 seconds to 1970.
  const uint64_t steps = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return static_cast<int64_t>(steps / 10000000u) - INT64_C(11644473600);
}

bool LocalTimeOf(int64_t seconds, LocalTime& out) {
  if (seconds >= 0) {
    const auto t = static_cast<__time64_t>(seconds);
    std::tm tm{};
    if (_localtime64_s(&tm, &t) != 0) return false;
    out = LocalTime{static_cast<uint16_t>(tm.tm_year + 1900), static_cast<uint16_t>(tm.tm_mon + 1),
                    static_cast<uint16_t>(tm.tm_wday),        static_cast<uint16_t>(tm.tm_mday),
                    static_cast<uint16_t>(tm.tm_hour),        static_cast<uint16_t>(tm.tm_min),
                    static_cast<uint16_t>(tm.tm_sec),         0};
    return true;
  }
  // Before 1970: count back from the zone's standard offset, as the C library
  // of Linux does in a zone that kept one offset then.
  _tzset();
  const int64_t local = seconds - _timezone;  // _timezone: seconds west of UTC
  if (local < -(int64_t{1} << 40)) return false;
  const int64_t days = (local >= 0 ? local : local - 86399) / 86400;
  const int64_t in_day = local - days * 86400;
  out = LocalTime{};
  CivilFromDays(days, out);
  out.day_of_week = static_cast<uint16_t>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday
  out.hour = static_cast<uint16_t>(in_day / 3600);
  out.minute = static_cast<uint16_t>(in_day / 60 % 60);
  out.second = static_cast<uint16_t>(in_day % 60);
  return true;
}

FileHandle CreateNew(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return kNoFile;
  return FromHandle(::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

FileHandle OpenAppend(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return kNoFile;
  // A link (a reparse point) is opened as itself, not followed, and refused.
  const FileHandle file = FromHandle(::CreateFileW(
      wide.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ, nullptr,
      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return RegularFileOnly(file);
}

size_t Append(FileHandle file, const void* buffer, size_t count) {
  return WriteAll(file, nullptr, buffer, count);
}

bool Sync(FileHandle file) {
  if (::FlushFileBuffers(Handle(file))) return true;
  RememberLast();
  return false;
}

int64_t FileSize(FileHandle file) {
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(Handle(file), &size)) return static_cast<int64_t>(size.QuadPart);
  RememberLast();
  return -1;
}

int64_t NextData(FileHandle, int64_t offset) {
  // Every byte is read: a copy skips no hole here.
  return offset;
}

bool RemoveFile(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return false;
  if (::DeleteFileW(wide.c_str())) return true;
  RememberLast();
  return false;
}

bool RenameOver(const std::string& from, const std::string& to) {
  std::wstring wide_from, wide_to;
  if (!WidePath(from, wide_from) || !WidePath(to, wide_to)) return false;
  if (::MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  RememberLast();
  return false;
}

// INVALID_FILE_ATTRIBUTES.
constexpr DWORD kNoAttributes = 0xFFFFFFFFu;

bool Exists(const std::string& path) {
  std::wstring wide;
  return WidePath(path, wide) && ::GetFileAttributesW(wide.c_str()) != kNoAttributes;
}

bool SameFile(const std::string& a, const std::string& b) {
  // Each opened for nothing but its attributes, in no one's way.
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const std::string* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    std::wstring wide;
    if (!WidePath(*paths[i], wide)) return false;
    const HANDLE file =
        ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const BOOL known = ::GetFileInformationByHandle(file, &info[i]);
    ::CloseHandle(file);
    if (!known) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

FileHandle OpenOwnFile(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return kNoFile;
  // A link (a reparse point) is opened as itself, not followed, and refused.
  const FileHandle file =
      FromHandle(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return RegularFileOnly(file);
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (size_t slash = path.find_first_of("/\\", 1);; slash = path.find_first_of("/\\", slash + 1)) {
    std::wstring wide;
    const std::string part = path.substr(0, slash);
    // A drive ("C:") stands already.
    const bool drive = part.size() == 2 && part[1] == ':';
    if (!drive && WidePath(part, wide) && !::CreateDirectoryW(wide.c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      RememberLast();
      return false;
    }
    if (slash == std::string::npos) break;
  }
  std::wstring wide;
  if (!WidePath(path, wide)) return false;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string HomeFolder() {
  wchar_t wide[32768];
  const DWORD n = ::GetEnvironmentVariableW(L"USERPROFILE", wide, 32768);
  if (n == 0 || n >= 32768) return std::string();
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), out.data(), size, nullptr, nullptr);
  return out;
}

// Windows makes a file's creation or removal durable with the file itself.
bool SyncFolder(const std::string& /*path*/) { return true; }

}  // namespace kinscope::platform
