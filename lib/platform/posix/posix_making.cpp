// What makes or writes on POSIX, standing in for the Windows calls: folders,
// empty files, private folders and the appending of dump records. Kept apart
// from the read-only calls, so a program that only reads links none of it.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/posix/system_path.h"
#include "platform/services.h"

namespace quill::platform {
namespace {

// AppendRecord asks for the record lock a hundred times a second.
constexpr std::uint32_t kLockPauseMs = 10;

}  // namespace

bool MakeDirectory(const char* path) {
  // Windows makes no name with a wildcard, and the status calls here refuse
  // such names as it does: a folder made under one could never be found
  // again, so it is not made.
  std::string systemPath = posix::SystemPath(path);
  return !systemPath.empty() && std::strpbrk(systemPath.c_str(), "?*") == nullptr &&
         mkdir(systemPath.c_str(), 0777) == 0;
}

bool CreateEmptyFileAt(const char* path) {
  posix::Descriptor file(
      posix::OpenPlainFile(path, O_RDWR | O_CREAT, S_IRUSR | S_IWUSR, true, true));
  return file.valid() && file.Close();
}

bool MakePrivateFolder(const char* path) {
  const std::string name = posix::SystemPath(path);
  if (name.empty()) return false;
  const bool made = mkdir(name.c_str(), 0700) == 0;
  if (!made && errno != EEXIST) return false;
  // Everything is decided on the folder that was opened, so a link swapped in
  // after the check cannot be used instead.
  const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  // A umask may have taken the owner's own bits away.
  if (made) fchmod(fd, 0700);
  const bool usable = posix::IsPrivate(fd);
  close(fd);
  return usable;
}

bool AppendRecord(std::FILE* stream, std::string (*header)(), std::string_view bytes) {
  if (stream == nullptr) return false;
  // Nothing may be left in the stream's buffer to be written after the record.
  std::fflush(stream);
  const int fd = fileno(stream);
  if (fd < 0) return false;
  // One append lands whole against other writers, but a full disk can cut it
  // short, and the next record would then run on in the same line. Under the
  // lock that every writer takes, a cut record is taken back off the end
  // before anyone else appends. Anyone who may read the file can take that
  // lock and keep it, so it is asked for briefly, never waited out.
  bool locked = false;
  const std::uint32_t start = System().TickCount();
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      locked = true;
      break;
    }
    // A file system without locks gets its records the same way.
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (System().TickCount() - start >= kRecordLockWaitMs) break;
    System().Sleep(kLockPauseMs);
  }
  // Decided under the lock when it was had, so only one writer ever finds
  // the file empty; without it, two may each write a header.
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_nlink != 1) return false;
  std::string record;
  if (opened.st_size == 0 && header != nullptr) record = header();
  record.append(bytes);
  if (!locked) {
    // One write with O_APPEND: whole against other writers, and nothing to
    // take back, since without the lock another record may follow at once.
    static_cast<void>(write(fd, record.data(), record.size()));
    return true;
  }
  std::size_t written = 0;
  if (!posix::WriteAll(fd, record.data(), record.size(), &written) && written > 0) {
    const off_t end = lseek(fd, 0, SEEK_CUR);
    if (end >= static_cast<off_t>(written)) {
      static_cast<void>(ftruncate(fd, end - static_cast<off_t>(written)));
    }
  }
  // The lock goes with the stream's close, which follows at once; an unlock
  // of its own would only cost another system call per record.
  return true;
}

}  // namespace quill::platform
