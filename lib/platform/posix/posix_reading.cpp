// Reading past holes, and files made beside others, on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/posix/system_path.h"
#include "platform/reading.h"

namespace quill::platform {

std::size_t ReadFileData(std::FILE* stream, char* buffer, std::size_t size) {
  const int fd = stream != nullptr ? fileno(stream) : -1;
  if (fd < 0) return 0;
  // ENXIO: only a hole is left up to the end. A file system that cannot tell
  // holes (EINVAL) has its zeros read.
  const off_t at = lseek(fd, 0, SEEK_CUR);
  if (at >= 0 && lseek(fd, at, SEEK_DATA) < 0 && errno == ENXIO) return 0;
  for (;;) {
    const ssize_t got = read(fd, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

bool CanReplace(const char* path) {
  struct stat status {};
  if (lstat(posix::SystemPath(path).c_str(), &status) != 0) return errno == ENOENT;
  return S_ISREG(status.st_mode) && status.st_nlink == 1 && status.st_uid == geteuid();
}

std::FILE* CreateFileBeside(const std::string& target, std::string* path) {
  const std::string base = posix::SystemPath(target.c_str()) + "." + std::to_string(getpid());
  // A name that someone else took first is passed over, a few times only.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string name = base + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".new";
    posix::Descriptor file(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | posix::kPlantSafeOpen,
                                S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH));
    if (!file.valid()) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    posix::ClearNonBlocking(file.get());
    std::FILE* stream = fdopen(file.get(), "wb");
    if (stream == nullptr) {
      file.Close();
      unlink(name.c_str());
      return nullptr;
    }
    file.Release();
    *path = name;
    return stream;
  }
  return nullptr;
}

bool RenameOver(const char* from, const char* to) {
  return rename(posix::SystemPath(from).c_str(), posix::SystemPath(to).c_str()) == 0;
}

}  // namespace quill::platform
