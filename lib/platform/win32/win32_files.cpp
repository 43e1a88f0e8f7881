// File status, attributes, folders and files on Windows.
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace quill::platform {
namespace {

// Closes a find handle at the end of its scope.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

const char* Text(const char* path) {
  return path ? path : "";
}

}  // namespace

int StatPath(const char* path, StatRecord* out) {
  struct _stat64 status;
  std::memset(&status, 0, sizeof status);
  errno = 0;
  if (_stat64(Text(path), &status) < 0) return errno != 0 ? errno : ENOENT;
  out->mode = (status.st_mode & _S_IFDIR) ? kModeFolder : kModeFile;
  out->size = static_cast<std::int64_t>(status.st_size);
  out->accessTime = static_cast<std::int64_t>(status.st_atime);
  out->modifyTime = static_cast<std::int64_t>(status.st_mtime);
  out->createTime = static_cast<std::int64_t>(status.st_ctime);
  return 0;
}

bool HasStatus(const char* path) {
  StatRecord record;
  return StatPath(path, &record) == 0;
}

bool AccessExists(const char* path) {
  return _access(Text(path), 0) == 0;
}

std::uint32_t GetAttributes(const char* path) {
  return static_cast<std::uint32_t>(GetFileAttributesA(Text(path)));
}

bool SetAttributes(const char* path, std::uint32_t attributes) {
  return SetFileAttributesA(Text(path), static_cast<DWORD>(attributes)) != 0;
}

bool MakeDirectory(const char* path) {
  return _mkdir(Text(path)) == 0;
}

bool CreateEmptyFileAt(const char* path) {
  int fd = _creat(Text(path), _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  return _close(fd) == 0;
}

bool RemoveFile(const char* path) {
  return DeleteFileA(Text(path)) != 0;
}

bool RemoveFolder(const char* path) {
  return RemoveDirectoryA(Text(path)) != 0;
}

bool CopyFileOver(const char* source, const char* destination) {
  return CopyFileA(Text(source), Text(destination), FALSE) != 0;
}

std::FILE* OpenStream(const char* path, const char* mode) {
  if (path == nullptr || *path == '\0' || mode == nullptr) return nullptr;
  return std::fopen(path, mode);
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  std::string pattern = folder + "*.*";
  FindHandle search(FindFirstFileA(pattern.c_str(), &data));
  if (!search.valid()) return false;
  do {
    FolderEntry entry;
    entry.name = data.cFileName;
    entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries->push_back(std::move(entry));
  } while (FindNextFileA(search.get(), &data));
  return true;
}

}  // namespace quill::platform

namespace quill::platform {

namespace {

// Ten attempts a second for 10 s, as long as the open of the file may take.
constexpr std::uint32_t kLockAttempts = 100;
constexpr std::uint32_t kLockPauseMs = 100;

}  // namespace

bool AppendRecord(std::FILE* stream, std::string (*header)(), std::string_view bytes) {
  if (stream == nullptr) return false;
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (file == INVALID_HANDLE_VALUE) return false;
  // The runtime's append mode seeks to the end and then writes, which another
  // process can come between; the lock of the whole file keeps every record
  // of every writer in one piece. A writer stuck while holding it must not
  // stop every other process, so the lock is asked for, not waited for.
  for (std::uint32_t attempt = 0;; ++attempt) {
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &whole)) {
      break;
    }
    if (attempt == kLockAttempts) return false;
    System().Sleep(kLockPauseMs);
  }
  // Decided under the lock, so only one writer ever finds the file empty.
  LARGE_INTEGER size{};
  const bool empty = !GetFileSizeEx(file, &size) || size.QuadPart == 0;
  if (empty && header != nullptr) {
    const std::string line = header();
    std::fwrite(line.data(), 1, line.size(), stream);
  }
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
  OVERLAPPED unlock{};
  UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &unlock);
  return true;
}

}  // namespace quill::platform

namespace quill::platform {

bool HoldFileFromWriters(const char* path, std::uint32_t milliseconds, HoldKind kind) {
  const bool lock = kind == HoldKind::kRecordLock;
  HANDLE file = CreateFileA(Text(path), GENERIC_READ | GENERIC_WRITE,
                            lock ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED whole{};
  if (lock && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    CloseHandle(file);
    return false;
  }
  ::Sleep(milliseconds);
  if (lock) {
    OVERLAPPED unlock{};
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &unlock);
  }
  CloseHandle(file);
  return true;
}

}  // namespace quill::platform

namespace quill::platform {

namespace {

EntryStatus EntryStatusOf(DWORD attributes, const FILETIME& writeTime) {
  EntryStatus entry;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    entry.kind = EntryKind::kLink;
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    entry.kind = EntryKind::kFolder;
  } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
    entry.kind = EntryKind::kOther;
  } else {
    entry.kind = EntryKind::kFile;
  }
  // File times count 100 ns steps from 1601-01-01.
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(writeTime.dwHighDateTime) << 32) | writeTime.dwLowDateTime;
  constexpr std::int64_t kTicksTo1970 = 116444736000000000LL;
  entry.modifyTimeMs = (static_cast<std::int64_t>(ticks) - kTicksTo1970) / 10000;
  return entry;
}

}  // namespace

bool ReadEntryStatus(const char* path, EntryStatus* out) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path == nullptr || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  *out = EntryStatusOf(data.dwFileAttributes, data.ftLastWriteTime);
  return true;
}

bool ListFolderWithStatus(const std::string& folder, std::vector<FolderEntryStatus>* entries) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += "*";
  FindHandle search(FindFirstFileA(pattern.c_str(), &data));
  if (!search.valid()) return false;
  do {
    if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0) continue;
    entries->push_back(
        {data.cFileName, EntryStatusOf(data.dwFileAttributes, data.ftLastWriteTime)});
  } while (FindNextFileA(search.get(), &data));
  return true;
}

}  // namespace quill::platform
