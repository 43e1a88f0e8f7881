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
#include "platform/posix/system_path.h"
#include "platform/shared_tree.h"

namespace quill::platform {
namespace {

constexpr mode_t kSharedFolderMode = S_IRWXU | S_IRWXG | S_IRWXO | S_ISVTX;  // 1777
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

std::FILE* OpenSharedFile(const SharedFolder& folder, const char* name, bool* refused) {
  bool lasting = false;
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
    if (fd < 0) {
      lasting = posix::IsLastingRefusal(errno);
    } else {
      // A FIFO with a reader, a device or a second name of another file opens
      // too: AppendRecord's one status query of the descriptor, which it needs
      // under its lock anyway, refuses those before a byte is written.
      // O_NONBLOCK stays: it changes nothing for a regular file.
      stream = fdopen(fd, "ab");
      if (stream == nullptr) close(fd);
    }
  }
  if (refused != nullptr) *refused = lasting;
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

SharedEntry LookAtSharedEntry(const SharedFolder& folder, const char* name) {
  SharedEntry entry;
  struct stat status {};
  if (!folder.IsOpen() || fstatat(Fd(folder), name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
    return entry;
  }
  entry.kind = S_ISREG(status.st_mode)   ? SharedEntry::kFile
               : S_ISDIR(status.st_mode) ? SharedEntry::kFolder
                                         : SharedEntry::kOther;
  // The same rule as GetAttributes: no write permission for the owner.
  entry.readOnly = (status.st_mode & S_IWUSR) == 0;
  entry.modifyTime = static_cast<std::int64_t>(status.st_mtime);
  return entry;
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
  const SharedEntry entry = LookAtSharedEntry(folder, name);
  if (entry.kind != SharedEntry::kFile || entry.readOnly) return false;
  // unlinkat removes the name itself: were it swapped for a link since the
  // look, the link would go, never its target.
  return unlinkat(Fd(folder), name, 0) == 0;
}

}  // namespace quill::platform
