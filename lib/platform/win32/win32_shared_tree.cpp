// The shared dump tree on Windows: every level and file is opened with
// FILE_FLAG_OPEN_REPARSE_POINT and refused when it is a junction, symbolic
// link or other reparse point. The levels of a walk stay open without
// delete sharing, so nobody can rename or replace them while they are used.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/environment.h"
#include "platform/fault_points.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/shared_tree.h"
#include "platform/win32/handle_checks.h"

namespace quill::platform {
namespace {

bool IsMissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The attributes of an open handle; 0 when they cannot be read.
DWORD AttributesOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  std::memset(&information, 0, sizeof information);
  return GetFileInformationByHandle(handle, &information) ? information.dwFileAttributes : 0;
}

SharedFolder OpenLevel(const std::string& path, SharedLevel* outcome) {
  const HANDLE handle = CreateFileA(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *outcome = IsMissingError(GetLastError()) ? SharedLevel::kMissing : SharedLevel::kFailed;
    return SharedFolder();
  }
  const DWORD attributes = AttributesOf(handle);
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    CloseHandle(handle);
    *outcome = SharedLevel::kRefused;
    return SharedFolder();
  }
  *outcome = SharedLevel::kExisted;
  return SharedFolder(reinterpret_cast<std::intptr_t>(handle), path);
}

// Write access only, as an append-mode fopen asks for, so a user who may
// append to a shared log but not read it gets in; reading the attributes is
// what the checks on the handle need, and gives no access to the content.
HANDLE OpenFile(const std::string& path, DWORD disposition) {
  return CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// True when the name is a reparse point, through which the record would be
// written elsewhere. Asked only after an open failed: anything else there (a
// folder, a file that is held or not ours to write) may pass while the open
// retries.
bool IsReparsePointAt(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The same for what an open gave: a reparse point, or a second name of
// another file, which the record would be written into.
bool IsHarmfulOpened(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  std::memset(&information, 0, sizeof information);
  return GetFileInformationByHandle(handle, &information) &&
         ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
          information.nNumberOfLinks > 1);
}

// What the system tells of an open handle, its identity among it.
bool ReadInformation(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information) {
  std::memset(information, 0, sizeof *information);
  return GetFileInformationByHandle(handle, information) != 0;
}

FileIdentity IdentityOfInformation(const BY_HANDLE_FILE_INFORMATION& information) {
  return FileIdentity{
      information.dwVolumeSerialNumber,
      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow,
      true};
}

}  // namespace

void SharedFolder::Close(std::intptr_t handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}

SharedFolder OpenSharedBase(const std::string& path) {
  const std::string name = path.empty() ? std::string(".") : path;
  const HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return SharedFolder();
  if ((AttributesOf(handle) & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    CloseHandle(handle);
    return SharedFolder();
  }
  return SharedFolder(reinterpret_cast<std::intptr_t>(handle), path);
}

SharedFolder OpenSharedLevel(const SharedFolder& parent, const char* name, bool create,
                             SharedLevel* outcome) {
  if (!parent.IsOpen()) {
    *outcome = SharedLevel::kFailed;
    return SharedFolder();
  }
  const std::string path = parent.Child(name);
  SharedFolder level = OpenLevel(path, outcome);
  if (*outcome != SharedLevel::kMissing || !create) return level;
  // The folder inherits the permissions of the shared documents folder.
  if (!CreateDirectoryA(path.c_str(), nullptr)) {
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      *outcome = SharedLevel::kFailed;
      return SharedFolder();
    }
    return OpenLevel(path, outcome);
  }
  level = OpenLevel(path, outcome);
  if (level.IsOpen()) *outcome = SharedLevel::kCreated;
  return level;
}

namespace {

constexpr int kSharedDocumentsId = ShellFolderId(ShellFolder::kCommonDocuments);

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  while (text.size() > 1 && text.back() == '\\') text.pop_back();
  return text;
}

// How far `path` lies inside the shared documents folder, the one folder
// here that every user may write: the length of the folder's own spelling
// in `path`, or 0 when `path` is not below it.
std::size_t SharedGroundPrefix(const std::string& path) {
  const std::string base = Lowered(System().SpecialFolderPath(nullptr, kSharedDocumentsId));
  const std::string lowered = Lowered(path);
  if (base.empty() || lowered.size() <= base.size() + 1 ||
      lowered.compare(0, base.size(), base) != 0 || lowered[base.size()] != '\\') {
    return 0;
  }
  return base.size();
}

// True when this process's user owns the file or folder at `path`.
bool OwnedByThisUser(const std::string& path) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  bool same = false;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    char buffer[256];
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
      same = EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, owner) != 0;
    }
    CloseHandle(token);
  }
  LocalFree(descriptor);
  return same;
}

}  // namespace

SharedFolder OpenGuardedFolder(const std::string& path) {
  const std::size_t prefix = SharedGroundPrefix(path);
  if (prefix == 0) return OpenSharedBase(path);
  // Below the shared documents folder every level is opened as a level of
  // the shared tree: no reparse point is followed there.
  SharedFolder folder = OpenSharedBase(path.substr(0, prefix));
  std::size_t start = prefix + 1;
  while (folder.IsOpen() && start < path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    SharedLevel outcome = SharedLevel::kFailed;
    folder = OpenLevel(folder.Child(name.c_str()), &outcome);
  }
  return folder;
}

bool IsUntrustedLink(const std::string& path) {
  if (SharedGroundPrefix(path) == 0) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool CreateEmptyFileIn(const SharedFolder& folder, const char* name) {
  // The held levels cannot be renamed or replaced while the file is made.
  return folder.IsOpen() && CreateEmptyFileAt(folder.Child(name).c_str());
}

bool RemoveOwnFileIn(const SharedFolder& folder, const char* name) {
  EntryStatus entry;
  if (QueryStatusAt(folder, name, &entry) != 0 || entry.kind == EntryKind::kFolder ||
      (entry.attributes & kAttributeReadOnly) != 0) {
    return false;
  }
  const std::string path = folder.Child(name);
  // DeleteFileA removes a reparse point itself, never its target.
  return OwnedByThisUser(path) && DeleteFileA(path.c_str()) != 0;
}

std::FILE* OpenSharedFile(const SharedFolder& folder, const char* name, bool* refused) {
  if (refused != nullptr) *refused = false;
  if (!folder.IsOpen()) return nullptr;
  if (internal::SharedFileHeldElsewhere()) return nullptr;
  const std::string path = folder.Child(name);
  HANDLE file = OpenFile(path, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE && IsMissingError(GetLastError())) {
    internal::BeforeCreatingSharedFile();
    file = OpenFile(path, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
      file = OpenFile(path, OPEN_EXISTING);
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    if (refused != nullptr) *refused = IsReparsePointAt(path);
    return nullptr;
  }
  if (!win32::IsSinglePlainFile(file)) {
    if (refused != nullptr) *refused = IsHarmfulOpened(file);
    CloseHandle(file);
    return nullptr;
  }
  return win32::StreamOnHandle(file, _O_APPEND | _O_BINARY, "ab");
}

FileIdentity IdentityOf(const SharedFolder& folder) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!folder.IsOpen() ||
      !ReadInformation(reinterpret_cast<HANDLE>(folder.Handle()), &information)) {
    return FileIdentity();
  }
  return IdentityOfInformation(information);
}

FileIdentity IdentityOfPath(const std::string& path) {
  const HANDLE named = CreateFileA(path.empty() ? "." : path.c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) return FileIdentity();
  BY_HANDLE_FILE_INFORMATION information;
  const bool read = ReadInformation(named, &information);
  CloseHandle(named);
  return read ? IdentityOfInformation(information) : FileIdentity();
}

int QueryStatusAt(const SharedFolder& folder, const char* name, EntryStatus* out) {
  if (!folder.IsOpen()) return EBADF;
  // The attribute query describes the name itself, never what a reparse
  // point names.
  return QueryStatus(folder.Child(name).c_str(), StatusOf::kEntry, out);
}

bool ListSharedFolder(const SharedFolder& folder, std::vector<std::string>* names) {
  if (!folder.IsOpen()) return false;
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  const HANDLE search = FindFirstFileA((folder.Child("*.*")).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names->push_back(name);
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return true;
}

bool RemoveSharedFile(const SharedFolder& folder, const char* name) {
  EntryStatus entry;
  if (QueryStatusAt(folder, name, &entry) != 0 || entry.kind != EntryKind::kFile ||
      (entry.attributes & kAttributeReadOnly) != 0) {
    return false;
  }
  // DeleteFileA removes a link itself, never its target.
  return DeleteFileA(folder.Child(name).c_str()) != 0;
}

}  // namespace quill::platform
