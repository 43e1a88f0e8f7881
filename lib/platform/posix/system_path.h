// Path spelling and plant-safe opens for POSIX system calls.
#pragma once

#include <fcntl.h>

#include <string>

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

// True when an open that failed with `error` met something at the name that
// no wait can turn into a usable file: a link, folder, FIFO, socket or device.
bool IsLastingRefusal(int error);

// Clears O_NONBLOCK on `fd` once it is known to be a regular file, where it
// changes nothing but would surprise a later reader of the flags.
void ClearNonBlocking(int fd);

}  // namespace quill::platform::posix
