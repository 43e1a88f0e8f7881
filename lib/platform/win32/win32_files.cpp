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

#include "platform/files.h"
#include "platform/services.h"
#include "platform/win32/handle_checks.h"

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

namespace win32 {

bool IsSinglePlainFile(HANDLE handle) {
  if (GetFileType(handle) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION information;
  std::memset(&information, 0, sizeof information);
  return GetFileInformationByHandle(handle, &information) &&
         (information.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         information.nNumberOfLinks == 1;
}

std::FILE* StreamOnHandle(HANDLE handle, int flags, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, mode);
  if (stream == nullptr) _close(fd);
  return stream;
}

}  // namespace win32

namespace {

// Opens `path` itself, never what a reparse point there names, and keeps the
// handle only when it is a plain file with one name.
HANDLE OpenPlainFile(const char* path, DWORD access, DWORD disposition) {
  const HANDLE handle =
      CreateFileA(Text(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  if (!win32::IsSinglePlainFile(handle)) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

// Cuts the file of `handle` to nothing.
bool Truncate(HANDLE handle) {
  LARGE_INTEGER start{};
  return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

}  // namespace

bool CreateEmptyFileAt(const char* path) {
  // As `_creat` does, but the file is truncated only once the handle shows a
  // plain file with no second name: a link planted at the name is left alone.
  const HANDLE file = OpenPlainFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool truncated = Truncate(file);
  return CloseHandle(file) && truncated;
}

std::FILE* OpenPlainFileForReading(const char* path) {
  const HANDLE file = OpenPlainFile(path, GENERIC_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return win32::StreamOnHandle(file, _O_RDONLY | _O_BINARY, "rb");
}

std::FILE* OpenOwnFileForWriting(const char* path) {
  const HANDLE file = OpenPlainFile(path, GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (!Truncate(file)) {
    CloseHandle(file);
    return nullptr;
  }
  return win32::StreamOnHandle(file, _O_WRONLY | _O_BINARY, "wb");
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

// AppendRecord asks for the record lock a hundred times a second.
constexpr std::uint32_t kLockPauseMs = 10;

}  // namespace

bool AppendRecord(std::FILE* stream, std::string (*header)(), std::string_view bytes) {
  if (stream == nullptr) return false;
  // The record goes straight to the handle: nothing of it may stay in the
  // runtime's buffer, to be written after a cut record was taken back.
  std::fflush(stream);
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (file == INVALID_HANDLE_VALUE) return false;
  // A seek to the end and a write, which another process could come between;
  // the lock of the whole file keeps every record of every writer in one
  // piece. Anyone who may open the file can take that lock and keep it, so
  // it is asked for briefly, never waited out.
  bool locked = false;
  const std::uint32_t start = System().TickCount();
  for (;;) {
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &whole)) {
      locked = true;
      break;
    }
    if (System().TickCount() - start >= kRecordLockWaitMs) break;
    System().Sleep(kLockPauseMs);
  }
  const auto unlock = [file, locked] {
    OVERLAPPED whole{};
    if (locked) UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  };
  if (!win32::IsSinglePlainFile(file)) {
    unlock();
    return false;
  }
  // Decided under the lock when it was had, so only one writer ever finds
  // the file empty. The end is found by moving there, which needs no read
  // access.
  LARGE_INTEGER end{};
  const LARGE_INTEGER none{};
  const bool atEnd = SetFilePointerEx(file, none, &end, FILE_END) != 0;
  std::string record;
  if ((!atEnd || end.QuadPart == 0) && header != nullptr) record = header();
  record.append(bytes);
  if (!locked) {
    // The offset of all ones writes at the end of the file as it is then, in
    // one call, so another writer's record cannot come between; without the
    // lock nothing is taken back.
    OVERLAPPED atTheEnd{};
    atTheEnd.Offset = MAXDWORD;
    atTheEnd.OffsetHigh = MAXDWORD;
    DWORD done = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &done, &atTheEnd);
    return true;
  }
  DWORD done = 0;
  const bool whole =
      WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &done, nullptr) &&
      done == record.size();
  if (!whole && atEnd) {
    // A full disk cut the record short: it is taken off again before anyone
    // else may append, so the next record starts a line of its own.
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
  }
  unlock();
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
  const std::uint64_t ticks = win32::FileTimeTicks(writeTime);
  constexpr std::int64_t kTicksTo1970 = 116444736000000000LL;
  entry.modifyTimeMs = (static_cast<std::int64_t>(ticks) - kTicksTo1970) / 10000;
  return entry;
}

// The names of the plain file at `path`, asked of the file itself (a reparse
// point there is not followed): the folder search does not tell them. 0 when
// the file cannot be asked.
std::uint32_t LinksOf(const std::string& path) {
  const HANDLE file = CreateFileA(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION information;
  std::memset(&information, 0, sizeof information);
  const bool known = GetFileInformationByHandle(file, &information) != 0;
  CloseHandle(file);
  return known ? information.nNumberOfLinks : 0;
}

}  // namespace

bool ReadEntryStatus(const char* path, EntryStatus* out) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path == nullptr || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  *out = EntryStatusOf(data.dwFileAttributes, data.ftLastWriteTime);
  if (out->kind == EntryKind::kFile) out->links = LinksOf(path);
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
    FolderEntryStatus entry{data.cFileName,
                            EntryStatusOf(data.dwFileAttributes, data.ftLastWriteTime)};
    if (entry.status.kind == EntryKind::kFile) {
      entry.status.links = LinksOf(pattern.substr(0, pattern.size() - 1) + entry.name);
    }
    entries->push_back(std::move(entry));
  } while (FindNextFileA(search.get(), &data));
  return true;
}

}  // namespace quill::platform
