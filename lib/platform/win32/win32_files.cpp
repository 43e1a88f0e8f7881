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
  entry.modifyTimeMs = win32::UnixMilliseconds(writeTime);
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

int StatPath(const char* path, StatRecord* out) {
  struct _stat64 status;
  std::memset(&status, 0, sizeof status);
  errno = 0;
  if (_stat64(win32::Text(path), &status) < 0) return errno != 0 ? errno : ENOENT;
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
  return _access(win32::Text(path), 0) == 0;
}

std::uint32_t GetAttributes(const char* path) {
  return static_cast<std::uint32_t>(GetFileAttributesA(win32::Text(path)));
}

bool SetAttributes(const char* path, std::uint32_t attributes) {
  return SetFileAttributesA(win32::Text(path), static_cast<DWORD>(attributes)) != 0;
}

std::FILE* OpenPlainFileForReading(const char* path) {
  const HANDLE file = win32::OpenPlainFile(path, GENERIC_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return win32::StreamOnHandle(file, _O_RDONLY | _O_BINARY, "rb");
}

std::FILE* OpenOwnFileForWriting(const char* path) {
  const HANDLE file = win32::OpenPlainFile(path, GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (!win32::Truncate(file)) {
    CloseHandle(file);
    return nullptr;
  }
  return win32::StreamOnHandle(file, _O_WRONLY | _O_BINARY, "wb");
}

bool RemoveFile(const char* path) {
  return DeleteFileA(win32::Text(path)) != 0;
}

bool RemoveFolder(const char* path) {
  return RemoveDirectoryA(win32::Text(path)) != 0;
}

bool CopyFileOver(const char* source, const char* destination) {
  return CopyFileA(win32::Text(source), win32::Text(destination), FALSE) != 0;
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
