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

// The one filler of every status query here, from what the attribute query
// or a folder search gives (both have these fields). A reparse point is a
// link where the entry itself is asked for; the path's status counts it as
// what its attributes say it is.
template <typename Data>
EntryStatus FillStatus(const Data& data, bool linkAsLink) {
  const DWORD attributes = data.dwFileAttributes;
  EntryStatus entry;
  entry.kind = (linkAsLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) ? EntryKind::kLink
               : (attributes & FILE_ATTRIBUTE_DIRECTORY)                   ? EntryKind::kFolder
               : (attributes & FILE_ATTRIBUTE_DEVICE)                      ? EntryKind::kOther
                                                                           : EntryKind::kFile;
  if (entry.kind != EntryKind::kFolder) {
    entry.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow);
  }
  entry.accessTimeMs = win32::UnixMilliseconds(data.ftLastAccessTime);
  entry.modifyTimeMs = win32::UnixMilliseconds(data.ftLastWriteTime);
  entry.createTimeMs = win32::UnixMilliseconds(data.ftCreationTime);
  entry.attributes = static_cast<std::uint32_t>(attributes);
  return entry;
}

// The C runtime's `_stat64` refuses wildcards, a drive without its root
// (`C:`), and a trailing separator on anything but a root (`\`, `C:\`,
// `\\server\share\`): the path's status refuses the same names.
bool RefusedByStat(const std::string& path) {
  if (path.find_first_of("?*") != std::string::npos) return true;
  std::string bare = path;
  if (bare.size() == 2 && bare[1] == ':') return true;
  if (bare.empty() || !IsPathSeparator(bare.back())) return false;
  while (!bare.empty() && IsPathSeparator(bare.back())) bare.pop_back();
  if (bare.empty() || (bare.size() == 2 && bare[1] == ':')) return false;
  if (bare.size() > 2 && IsPathSeparator(bare[0]) && IsPathSeparator(bare[1])) {
    const std::size_t server = bare.find_first_of("\\/", 2);
    return server == std::string::npos ||
           bare.find_first_of("\\/", server + 1) != std::string::npos;
  }
  return true;
}

// The C runtime's error number for what the attribute query met.
int ErrorNumberOf(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES : ENOENT;
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

int QueryStatus(const char* path, StatusOf how, EntryStatus* out) {
  const std::string name = win32::Text(path);
  if (name.empty() || (how == StatusOf::kPath && RefusedByStat(name))) return ENOENT;
  WIN32_FILE_ATTRIBUTE_DATA data;
  std::memset(&data, 0, sizeof data);
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) {
    return ErrorNumberOf(GetLastError());
  }
  if (out == nullptr) return 0;
  // The attribute query does not tell a file's names: `links` stays 0.
  *out = FillStatus(data, how == StatusOf::kEntry);
  return 0;
}

bool SetAttributes(const char* path, std::uint32_t attributes) {
  return SetFileAttributesA(win32::Text(path), static_cast<DWORD>(attributes)) != 0;
}

std::FILE* OpenPlainFileForReading(const char* path) {
  const HANDLE file = win32::OpenPlainFile(path, GENERIC_READ, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return win32::StreamOnHandle(file, _O_RDONLY | _O_BINARY, "rb");
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

bool ListFolder(const std::string& folder, std::vector<FolderEntryStatus>* entries) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  std::string pattern = folder + "*.*";
  FindHandle search(FindFirstFileA(pattern.c_str(), &data));
  if (!search.valid()) return false;
  do {
    FolderEntryStatus entry;
    entry.name = data.cFileName;
    entry.status.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kFolder
                                                                                : EntryKind::kFile;
    entries->push_back(std::move(entry));
  } while (FindNextFileA(search.get(), &data));
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
    FolderEntryStatus entry{data.cFileName, FillStatus(data, true)};
    if (entry.status.kind == EntryKind::kFile) {
      entry.status.links = LinksOf(pattern.substr(0, pattern.size() - 1) + entry.name);
    }
    entries->push_back(std::move(entry));
  } while (FindNextFileA(search.get(), &data));
  return true;
}

}  // namespace quill::platform
