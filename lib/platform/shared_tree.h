// The shared tree: folders that every user of the machine can write, walked
// from a trusted base one level at a time, never through a symbolic link,
// junction or other reparse point, so a name planted by another user cannot
// send a write or a deletion elsewhere. Each level is held open while the
// levels below it are used.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace quill::platform {

// One folder of the walk, held open; an empty object stands for no folder.
class SharedFolder {
 public:
  SharedFolder() = default;
  ~SharedFolder();
  SharedFolder(SharedFolder&& other) noexcept;
  SharedFolder& operator=(SharedFolder&& other) noexcept;
  SharedFolder(const SharedFolder&) = delete;
  SharedFolder& operator=(const SharedFolder&) = delete;

  bool IsOpen() const { return handle_ != kNone; }
  // The folder's path as it was reached (separators as given).
  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string Child(const char* name) const;

  // For the backends: the system's handle or descriptor.
  static constexpr std::intptr_t kNone = -1;
  SharedFolder(std::intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  std::intptr_t Handle() const { return handle_; }

 private:
  static void Close(std::intptr_t handle);

  std::intptr_t handle_ = kNone;
  std::string path_;
};

// How one level of the walk went.
enum class SharedLevel {
  kExisted,  // a real folder was there (made by anyone, also in a race)
  kCreated,  // this process made it, open to every user (sticky on POSIX)
  kRefused,  // a link, reparse point or something other than a folder is there
  kMissing,  // absent, and not to be created
  kFailed,   // it could not be made or opened (permission, no space, ...)
};

// Opens the trusted base of a walk, following links as the system gives it
// (the shared documents folder); an empty path is the current folder.
SharedFolder OpenSharedBase(const std::string& path);

// Opens the folder `name` inside `parent` without following a link; when it
// is missing and `create` is set, makes it first (mode 1777 set explicitly on
// POSIX whatever the umask; inherited permissions on Windows). `outcome`
// tells what was found. An empty object unless a real folder was opened.
SharedFolder OpenSharedLevel(const SharedFolder& parent, const char* name, bool create,
                             SharedLevel* outcome);

// Opens the folder `path`, which need not lie in the shared tree, one level
// at a time from its root (or the current folder for a relative path). A link
// at a level is followed only where the folder that holds it is no shared
// ground (POSIX: not writable by group or others, not sticky, and owned by
// this user or root; Windows: outside the shared documents folder). An empty
// object when a level is missing, is no folder, or is a link not followed.
SharedFolder OpenGuardedFolder(const std::string& path);

// True when `path` names a link (or reparse point) that OpenGuardedFolder
// would not follow: one that lies in a folder that is shared ground.
bool IsUntrustedLink(const std::string& path);

// CreateEmptyFileAt for the file `name` inside `folder`.
bool CreateEmptyFileIn(const SharedFolder& folder, const char* name);

// Removes `name` inside `folder` as RemoveFile would (never a folder or a
// read-only file; a link goes itself, never its target), and only when this
// user owns it: never another user's file, also for root or an
// administrator. True when it was removed.
bool RemoveOwnFileIn(const SharedFolder& folder, const char* name);

// Opens the file `name` inside `folder` for appending, never through a link
// and never blocking: an existing file is opened without asking to create it,
// a missing one is created exclusively (mode 0666 set explicitly on POSIX)
// and, when another process made it first, opened as existing. Only a regular
// file with exactly one link is kept. A stream the caller closes, or null;
// with null, `refused` (when given) tells whether an open that is tried again
// would do harm there: a link or reparse point it would write through, a
// FIFO it would wait on, or a second name of another file. A folder, socket,
// device, missing permission or held file is not refused: it may go away.
std::FILE* OpenSharedFile(const SharedFolder& folder, const char* name, bool* refused = nullptr);

// What tells one file or folder from every other on the machine: device and
// inode on POSIX, volume serial number and file index on Windows.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool known = false;
  bool operator==(const FileIdentity& other) const {
    return known && other.known && volume == other.volume && index == other.index;
  }
};

// The identity of the folder held open; not known when it cannot be read.
FileIdentity IdentityOf(const SharedFolder& folder);
// The identity of what `path` names now, links followed: compared with a
// held folder's, one status query tells whether the path still leads there.
FileIdentity IdentityOfPath(const std::string& path);

// The status of `name` inside `folder`, the name itself and never what a
// link there leads to: the descriptor held, not a path, is what makes it
// safe. 0 with `out` filled, else an error number.
int QueryStatusAt(const SharedFolder& folder, const char* name, EntryStatus* out);

// The names inside `folder` ("." and ".." left out). False when it cannot be
// read.
bool ListSharedFolder(const SharedFolder& folder, std::vector<std::string>* names);

// Deletes `name` inside `folder` when it is a regular file that is not
// read-only (never a link's target); true when it was deleted.
bool RemoveSharedFile(const SharedFolder& folder, const char* name);

}  // namespace quill::platform
