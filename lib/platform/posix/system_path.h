// Path spelling, plant-safe opens and descriptors for POSIX system calls.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <string>

#include "platform/files.h"

namespace quill::platform::posix {

// The path as the system takes it: every `\` becomes `/`. Null is empty.
std::string SystemPath(const char* path);

// Flags for opening a name that another user may have planted: never through
// a link, never waiting for a FIFO's other end, never taking a terminal.
constexpr int kPlantSafeOpen = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// True when the open descriptor `fd` is a regular file with exactly one link
// and, with `ownOnly`, owned by the effective user. Decided on the
// descriptor, so a name swapped after the open cannot mislead it.
bool IsSinglePlainFile(int fd, bool ownOnly);

// Clears O_NONBLOCK on `fd` once it is known to be a regular file, where it
// changes nothing but would surprise a later reader of the flags.
void ClearNonBlocking(int fd);

// Writes every byte of `bytes` to `fd`, counting what went out in `total`
// when given; false when a write fails or writes nothing.
bool WriteAll(int fd, const char* bytes, std::size_t size, std::size_t* total = nullptr);

// `path` opened with `flags` (and `permissions` when it is made) without
// following a link or blocking, kept only when the descriptor is a regular
// file with one link (with `ownOnly`, of this user), and with `truncate`
// emptied only then. -1 when it is refused.
int OpenPlainFile(const char* path, int flags, mode_t permissions, bool ownOnly, bool truncate);

// The status record of what `status` describes, `leaf` being its name (for
// the hidden attribute): the one filler of every status query here.
EntryStatus FillStatus(const struct stat& status, const std::string& leaf);

// True when the open folder `fd` is the effective user's and nobody else may
// change it (not writable by group or others).
bool IsPrivate(int fd);

// Closes a descriptor at the end of its scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives the descriptor up, to a stream that closes it from now on.
  void Release() { fd_ = -1; }
  // Closes now and tells whether the close succeeded.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace quill::platform::posix
