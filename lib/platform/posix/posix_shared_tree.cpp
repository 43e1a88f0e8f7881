// The shared dump tree on POSIX: every level and file is reached relative to
// the descriptor of the level above it, with O_NOFOLLOW, so a symbolic link
// planted by another user, or swapped in during a walk, is never followed.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/fault_points.h"
#include "platform/files.h"
#include "platform/posix/system_path.h"
#include "platform/shared_tree.h"

namespace quill::platform {
namespace {

constexpr mode_t kSharedFolderMode = S_IRWXU | S_IRWXG | S_IRWXO | S_ISVTX;  // 1777

// A folder on a path is held only to reach what lies in it, which needs no
// read permission of its own: a level that its user may pass but not list
// (mode 0711) is held all the same.
#ifdef O_PATH
constexpr int kPathOnly = O_PATH;
#else
constexpr int kPathOnly = O_RDONLY;
#endif
constexpr mode_t kSharedFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;

int Fd(const SharedFolder& folder) {
  return static_cast<int>(folder.Handle());
}

// openat, with the fault point that stands in for fs.protected_regular: an
// open that may create, of a name that exists, is refused as the kernel would.
int OpenAt(int folder, const char* name, int flags, mode_t mode) {
  struct stat existing {};
  if (internal::RefusesCreatingOpenOfExisting() && (flags & O_CREAT) != 0 &&
      (flags & O_EXCL) == 0 && fstatat(folder, name, &existing, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EACCES;
    return -1;
  }
  return openat(folder, name, flags, mode);
}

SharedFolder OpenLevel(const SharedFolder& parent, const char* name, SharedLevel* outcome) {
  const int fd = openat(Fd(parent), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    *outcome = SharedLevel::kExisted;
    return SharedFolder(fd, parent.Child(name));
  }
  // A link gives ELOOP, a file or other non-folder ENOTDIR.
  *outcome = errno == ENOENT                        ? SharedLevel::kMissing
             : (errno == ELOOP || errno == ENOTDIR) ? SharedLevel::kRefused
                                                    : SharedLevel::kFailed;
  return SharedFolder();
}

}  // namespace

void SharedFolder::Close(std::intptr_t handle) {
  close(static_cast<int>(handle));
}

SharedFolder OpenSharedBase(const std::string& path) {
  const std::string systemPath = path.empty() ? std::string(".") : posix::SystemPath(path.c_str());
  const int fd = open(systemPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd >= 0 ? SharedFolder(fd, path) : SharedFolder();
}

SharedFolder OpenSharedLevel(const SharedFolder& parent, const char* name, bool create,
                             SharedLevel* outcome) {
  if (!parent.IsOpen()) {
    *outcome = SharedLevel::kFailed;
    return SharedFolder();
  }
  SharedFolder level = OpenLevel(parent, name, outcome);
  if (*outcome != SharedLevel::kMissing || !create) return level;
  if (mkdirat(Fd(parent), name, kSharedFolderMode) != 0) {
    // Another process may have made it in the meantime: that one counts.
    if (errno != EEXIST) {
      *outcome = SharedLevel::kFailed;
      return SharedFolder();
    }
    return OpenLevel(parent, name, outcome);
  }
  level = OpenLevel(parent, name, outcome);
  if (!level.IsOpen()) return level;
  // The umask took bits away; put them back, but only on a folder of our
  // own (the name may have been replaced since mkdirat).
  struct stat made {};
  if (fstat(Fd(level), &made) == 0 && made.st_uid == geteuid()) {
    fchmod(Fd(level), kSharedFolderMode);
    *outcome = SharedLevel::kCreated;
  }
  return level;
}

namespace {

// Shared ground: a folder where another user may add, rename or replace a
// name. Root's folders count as the system's own.
bool IsSharedGround(const struct stat& folder) {
  return (folder.st_mode & (S_IWGRP | S_IWOTH | S_ISVTX)) != 0 ||
         (folder.st_uid != geteuid() && folder.st_uid != 0);
}

}  // namespace

SharedFolder OpenGuardedFolder(const std::string& path) {
  const std::string systemPath = posix::SystemPath(path.c_str());
  const bool absolute = !systemPath.empty() && systemPath[0] == '/';
  SharedFolder folder(open(absolute ? "/" : ".", kPathOnly | O_DIRECTORY | O_CLOEXEC), path);
  std::size_t start = 0;
  while (folder.IsOpen() && start < systemPath.size()) {
    std::size_t end = systemPath.find('/', start);
    if (end == std::string::npos) end = systemPath.size();
    const std::string name = systemPath.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    struct stat holder {};
    if (fstat(Fd(folder), &holder) != 0) return SharedFolder();
    const int follow = IsSharedGround(holder) ? O_NOFOLLOW : 0;
    const int fd = openat(Fd(folder), name.c_str(), kPathOnly | O_DIRECTORY | O_CLOEXEC | follow);
    folder = fd >= 0 ? SharedFolder(fd, path) : SharedFolder();
  }
  return folder;
}

bool IsUntrustedLink(const std::string& path) {
  std::string systemPath = posix::SystemPath(path.c_str());
  while (systemPath.size() > 1 && systemPath.back() == '/') systemPath.pop_back();
  struct stat entry {};
  if (systemPath.empty() || lstat(systemPath.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) {
    return false;
  }
  const std::string::size_type slash = systemPath.find_last_of('/');
  const std::string holder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? std::string("/")
                                                        : systemPath.substr(0, slash);
  struct stat folder {};
  return stat(holder.c_str(), &folder) != 0 || IsSharedGround(folder);
}

bool CreateEmptyFileIn(const SharedFolder& folder, const char* name) {
  if (!folder.IsOpen()) return false;
  posix::Descriptor file(
      openat(Fd(folder), name, O_RDWR | O_CREAT | posix::kPlantSafeOpen, S_IRUSR | S_IWUSR));
  // Emptied only once the descriptor shows a plain file of this user's.
  return file.valid() && posix::IsSinglePlainFile(file.get(), true) &&
         ftruncate(file.get(), 0) == 0 && file.Close();
}

bool RemoveOwnFileIn(const SharedFolder& folder, const char* name) {
  EntryStatus entry;
  // The same refusals as RemoveFile, and none but this user's own names.
  if (QueryStatusAt(folder, name, &entry) != 0 || entry.kind == EntryKind::kFolder ||
      !entry.ownedByUser) {
    return false;
  }
  if (entry.kind == EntryKind::kFile && (entry.attributes & kAttributeReadOnly) != 0) return false;
  return unlinkat(Fd(folder), name, 0) == 0;
}

namespace {

// What the name holds where the open's own retry would do harm: a link it
// would write through, or a FIFO it would wait on for ever. Anything else
// that fails (a folder, socket, device, missing permission) may go away
// while the open retries.
bool HarmfulAtName(int folder, const char* name, int error) {
  if (error == ELOOP) return true;
  struct stat status {};
  return error == ENXIO && fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISFIFO(status.st_mode);
}

// The same for what an open gave: a FIFO whose reader is there, or a second
// name of another file, which the record would be written into.
bool HarmfulOpened(const struct stat& status) {
  return S_ISFIFO(status.st_mode) || (S_ISREG(status.st_mode) && status.st_nlink != 1);
}

}  // namespace

std::FILE* OpenSharedFile(const SharedFolder& folder, const char* name, bool* refused) {
  bool harmful = false;
  std::FILE* stream = nullptr;
  if (folder.IsOpen() && !internal::SharedFileHeldElsewhere()) {
    constexpr int kAppend = O_WRONLY | O_APPEND | posix::kPlantSafeOpen;
    // Without O_CREAT an existing file of another user opens even where
    // fs.protected_regular refuses creating opens in sticky folders.
    int fd = OpenAt(Fd(folder), name, kAppend, 0);
    if (fd < 0 && errno == ENOENT) {
      internal::BeforeCreatingSharedFile();
      fd = OpenAt(Fd(folder), name, kAppend | O_CREAT | O_EXCL, kSharedFileMode);
      if (fd >= 0) {
        fchmod(fd, kSharedFileMode);
      } else if (errno == EEXIST) {
        fd = OpenAt(Fd(folder), name, kAppend, 0);
      }
    }
    posix::Descriptor file(fd);
    struct stat opened {};
    if (!file.valid()) {
      harmful = HarmfulAtName(Fd(folder), name, errno);
    } else if (fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_nlink == 1) {
      // O_NONBLOCK stays: it changes nothing for a regular file.
      stream = fdopen(file.get(), "ab");
      if (stream != nullptr) file.Release();
    } else {
      harmful = HarmfulOpened(opened);
    }
  }
  if (refused != nullptr) *refused = harmful;
  return stream;
}

namespace {

FileIdentity IdentityOfStatus(const struct stat& status) {
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino), true};
}

}  // namespace

FileIdentity IdentityOf(const SharedFolder& folder) {
  struct stat status {};
  if (!folder.IsOpen() || fstat(Fd(folder), &status) != 0) return FileIdentity();
  return IdentityOfStatus(status);
}

FileIdentity IdentityOfPath(const std::string& path) {
  struct stat status {};
  const std::string systemPath = path.empty() ? std::string(".") : posix::SystemPath(path.c_str());
  if (stat(systemPath.c_str(), &status) != 0) return FileIdentity();
  return IdentityOfStatus(status);
}

int QueryStatusAt(const SharedFolder& folder, const char* name, EntryStatus* out) {
  struct stat status {};
  if (!folder.IsOpen()) return EBADF;
  if (fstatat(Fd(folder), name, &status, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  *out = posix::FillStatus(status, name);
  return 0;
}

bool ListSharedFolder(const SharedFolder& folder, std::vector<std::string>* names) {
  if (!folder.IsOpen()) return false;
  // fdopendir takes the descriptor over; the walk keeps its own.
  const int copy = fcntl(Fd(folder), F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return false;
  DIR* directory = fdopendir(copy);
  if (directory == nullptr) {
    close(copy);
    return false;
  }
  rewinddir(directory);
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(directory);
  return true;
}

bool RemoveSharedFile(const SharedFolder& folder, const char* name) {
  EntryStatus entry;
  if (QueryStatusAt(folder, name, &entry) != 0 || entry.kind != EntryKind::kFile ||
      (entry.attributes & kAttributeReadOnly) != 0) {
    return false;
  }
  // unlinkat removes the name itself: were it swapped for a link since the
  // look, the link would go, never its target.
  return unlinkat(Fd(folder), name, 0) == 0;
}

}  // namespace quill::platform
