// File status, attributes, folders and files on POSIX, standing in for the
// C runtime and kernel calls of Windows.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/posix/system_path.h"
#include "platform/services.h"

namespace quill::platform {

namespace {

// The text after the last separator, ignoring separators at the end.
std::string LeafOf(const std::string& systemPath) {
  std::string::size_type end = systemPath.find_last_not_of('/');
  if (end == std::string::npos) return std::string();
  std::string::size_type start = systemPath.find_last_of('/', end);
  start = (start == std::string::npos) ? 0 : start + 1;
  return systemPath.substr(start, end + 1 - start);
}

// The Windows stat refuses wildcards, and a trailing separator on anything
// but a root; the same names are refused here so the library behaves alike.
bool RefusedByStat(const char* text) {
  const std::size_t length = std::strlen(text);
  if (std::strpbrk(text, "?*") != nullptr) return true;
  return length > 0 && IsPathSeparator(text[length - 1]) && std::strspn(text, "/\\") != length;
}

// The system's spelling of `text`, in `buffer` when it fits (no allocation
// for the existence tests that run in loops), else in `spare`.
const char* SystemSpelling(const char* text, char (&buffer)[512], std::string& spare) {
  const std::size_t length = std::strlen(text);
  if (length >= sizeof buffer) {
    spare = posix::SystemPath(text);
    return spare.c_str();
  }
  for (std::size_t i = 0; i <= length; ++i) buffer[i] = text[i] == '\\' ? '/' : text[i];
  return buffer;
}

// Milliseconds since 1970 of a time the system gives in seconds and
// nanoseconds (seconds rounded down, as for times before 1970).
std::int64_t Milliseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000 +
         static_cast<std::int64_t>(time.tv_nsec) / 1000000;
}

// The attribute bits that stand in for the Windows ones: read-only when the
// owner may not write, hidden for a name that starts with a dot, folder;
// normal when none of these.
std::uint32_t AttributesOf(const struct stat& status, const std::string& leaf) {
  std::uint32_t attributes = 0;
  if ((status.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  if (leaf.size() > 1 && leaf[0] == '.' && leaf != "..") attributes |= kAttributeHidden;
  if (S_ISDIR(status.st_mode)) attributes |= kAttributeFolder;
  return attributes != 0 ? attributes : kAttributeNormal;
}

}  // namespace

namespace posix {

EntryStatus FillStatus(const struct stat& status, const std::string& leaf) {
  EntryStatus entry;
  entry.kind = S_ISLNK(status.st_mode)   ? EntryKind::kLink
               : S_ISDIR(status.st_mode) ? EntryKind::kFolder
               : S_ISREG(status.st_mode) ? EntryKind::kFile
                                         : EntryKind::kOther;
  entry.size = S_ISDIR(status.st_mode) ? 0 : static_cast<std::int64_t>(status.st_size);
  entry.accessTimeMs = Milliseconds(status.st_atim);
  entry.modifyTimeMs = Milliseconds(status.st_mtim);
  // No creation time is kept: the last write time stands in for it.
  entry.createTimeMs = entry.modifyTimeMs;
  entry.attributes = AttributesOf(status, leaf);
  entry.links = static_cast<std::uint32_t>(status.st_nlink);
  entry.ownerKnown = true;
  entry.owner = status.st_uid;
  entry.ownedByUser = status.st_uid == geteuid();
  return entry;
}

}  // namespace posix

namespace {}  // namespace

int QueryStatus(const char* path, StatusOf how, EntryStatus* out) {
  const char* text = path ? path : "";
  if (how == StatusOf::kPath && RefusedByStat(text)) return ENOENT;
  char buffer[512];
  std::string spare;
  const char* name = SystemSpelling(text, buffer, spare);
  if (out == nullptr && how != StatusOf::kEntry) {
    // Existence in the kernel's sense is exactly what stat needs to succeed;
    // access asks no more and costs less.
    return access(name, F_OK) == 0 ? 0 : (errno == ENOTDIR ? ENOENT : errno);
  }
  struct stat status {};
  const int failed = how == StatusOf::kEntry ? lstat(name, &status) : stat(name, &status);
  if (failed != 0) return errno == ENOTDIR ? ENOENT : errno;
  if (out != nullptr) *out = posix::FillStatus(status, LeafOf(name));
  return 0;
}

bool SetAttributes(const char* path, std::uint32_t attributes) {
  EntryStatus found;
  if (QueryStatus(path, StatusOf::kAnyName, &found) != 0) return false;
  const std::uint32_t current = found.attributes;
  // Only the read-only bit maps onto a permission. The folder bit cannot be
  // changed and is ignored, as on Windows; "normal" is derived. Any other
  // change (hidden is the name, system and the rest do not exist) fails.
  constexpr std::uint32_t kSettable = kAttributeReadOnly | kAttributeFolder | kAttributeNormal;
  if (((attributes ^ current) & ~kSettable) != 0) return false;
  std::string systemPath = posix::SystemPath(path);
  struct stat status {};
  if (stat(systemPath.c_str(), &status) != 0) return false;
  mode_t mode = status.st_mode & 07777;
  mode = (attributes & kAttributeReadOnly) ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
  return chmod(systemPath.c_str(), mode) == 0;
}

std::FILE* OpenPlainFileForReading(const char* path) {
  posix::Descriptor file(posix::OpenPlainFile(path, O_RDONLY, 0666, false, false));
  if (!file.valid()) return nullptr;
  posix::ClearNonBlocking(file.get());
  std::FILE* stream = fdopen(file.get(), "rb");
  if (stream != nullptr) file.Release();
  return stream;
}

bool RemoveFile(const char* path) {
  std::string systemPath = posix::SystemPath(path);
  struct stat status {};
  if (lstat(systemPath.c_str(), &status) != 0) return false;
  // `remove` would also take an empty folder, and unlink a read-only file;
  // the Windows file removal does neither.
  if (S_ISDIR(status.st_mode)) return false;
  if (S_ISREG(status.st_mode) && (status.st_mode & S_IWUSR) == 0) return false;
  return unlink(systemPath.c_str()) == 0;
}

bool RemoveFolder(const char* path) {
  return rmdir(posix::SystemPath(path).c_str()) == 0;
}

bool CopyFileOver(const char* source, const char* destination) {
  std::string from = posix::SystemPath(source);
  std::string to = posix::SystemPath(destination);
  posix::Descriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (!in.valid() || fstat(in.get(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
  posix::Descriptor out(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                             status.st_mode & 0777));
  if (!out.valid()) return false;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(in.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    if (!posix::WriteAll(out.get(), buffer, static_cast<std::size_t>(got))) return false;
  }
  return out.Close();
}

std::FILE* OpenStream(const char* path, const char* mode) {
  std::string systemPath = posix::SystemPath(path);
  if (systemPath.empty() || mode == nullptr) return nullptr;
  const std::string text = mode;
  if (text.empty() || text.find_first_of("wa") == std::string::npos) {
    return std::fopen(systemPath.c_str(), mode);
  }
  // A stream that writes is opened as fopen would, but never through a link
  // planted at the name: in a folder shared by all users that would make us
  // create or append to a file of the link's choosing.
  const bool update = text.find('+') != std::string::npos;
  int flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
  flags |= text[0] == 'a' ? O_APPEND : O_TRUNC;
  if (text.find('x') != std::string::npos) flags |= O_EXCL;
  int fd = open(systemPath.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  std::FILE* stream = fdopen(fd, mode);
  if (stream == nullptr) close(fd);
  return stream;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntryStatus>* entries) {
  std::string systemPath = posix::SystemPath(folder.c_str());
  if (systemPath.empty()) systemPath = ".";
  std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir(systemPath.c_str()), closedir);
  if (!directory) return false;
  if (systemPath.back() != '/') systemPath.push_back('/');
  while (dirent* entry = readdir(directory.get())) {
    FolderEntryStatus item;
    item.name = entry->d_name;
    // The listing tells the kind; only a link or an untold kind costs a stat.
    if (entry->d_type == DT_DIR) {
      item.status.kind = EntryKind::kFolder;
    } else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat status {};
      item.status.kind = stat((systemPath + item.name).c_str(), &status) != 0 ? EntryKind::kNone
                         : S_ISDIR(status.st_mode)                            ? EntryKind::kFolder
                                                                              : EntryKind::kFile;
    } else {
      item.status.kind = entry->d_type == DT_REG ? EntryKind::kFile : EntryKind::kOther;
    }
    entries->push_back(std::move(item));
  }
  return true;
}

bool ListFolderWithStatus(const std::string& folder, std::vector<FolderEntryStatus>* entries) {
  std::string systemPath = posix::SystemPath(folder.c_str());
  // A trailing `/` would make the system follow a link at the last name.
  while (systemPath.size() > 1 && systemPath.back() == '/') systemPath.pop_back();
  if (systemPath.empty()) systemPath = ".";
  const int fd = open(systemPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> directory(fdopendir(fd), closedir);
  if (!directory) {
    close(fd);
    return false;
  }
  while (dirent* entry = readdir(directory.get())) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    struct stat status {};
    if (fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    entries->push_back({entry->d_name, posix::FillStatus(status, entry->d_name)});
  }
  return true;
}

}  // namespace quill::platform
