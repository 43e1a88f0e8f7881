// The helpers that the POSIX backend files share: path spelling, the checks
// and opens for names that another user may have planted, and whole writes.
#include "platform/posix/system_path.h"

#include <errno.h>
#include <sys/stat.h>

#include <string>

namespace quill::platform {
namespace posix {

std::string SystemPath(const char* path) {
  std::string converted = path ? path : "";
  for (char& c : converted) {
    if (c == '\\') c = '/';
  }
  return converted;
}

bool IsSinglePlainFile(int fd, bool ownOnly) {
  struct stat status {};
  return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1 &&
         (!ownOnly || status.st_uid == geteuid());
}

void ClearNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// Writes every byte, counting what went out in `total` when given.
bool WriteAll(int fd, const char* bytes, std::size_t size, std::size_t* total) {
  while (size > 0) {
    ssize_t written = write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    if (total != nullptr) *total += static_cast<std::size_t>(written);
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// `path` opened with `flags` without following a link or blocking, kept only
// when the descriptor is a regular file with one link (with `ownOnly`, of this
// user): a link, FIFO, socket, device or hard link planted at the name is
// refused and left alone, since `truncate` empties the file only after the
// check. -1 when it is refused.
int OpenPlainFile(const char* path, int flags, mode_t permissions, bool ownOnly, bool truncate) {
  const std::string systemPath = posix::SystemPath(path);
  if (systemPath.empty()) return -1;
  posix::Descriptor file(open(systemPath.c_str(), flags | posix::kPlantSafeOpen, permissions));
  if (!file.valid() || !posix::IsSinglePlainFile(file.get(), ownOnly) ||
      (truncate && ftruncate(file.get(), 0) != 0)) {
    return -1;
  }
  const int fd = file.get();
  file.Release();
  return fd;
}

// A folder of the effective user's that nobody else may change.
bool IsPrivate(int fd) {
  struct stat status {};
  return fstat(fd, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == geteuid() &&
         (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace posix

}  // namespace quill::platform
