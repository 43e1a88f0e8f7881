// The operating-system services the library needs, as one small interface.
//
// Everything above this layer is written once and compiled for both systems.
// Two kinds of service live here:
//
//  * `Services`: the clock, sleeping, starting a process and the console's
//    error stream. A test swaps them for a fake with `ScopedServices`, so a
//    loop of 100 polls or a 10-second retry runs in microseconds.
//  * Free functions for the file system and the process environment. They
//    behave like the Windows calls they are named after; the POSIX side
//    stands in for them as docs/platforms.md tells.
//
// Paths are passed exactly as the library holds them (backslashes allowed);
// the POSIX side turns every `\` into `/` just before the system call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::platform {

// One request to start a file, as the Windows shell takes it. Null pointers
// stand for "not given".
struct ShellRequest {
  const char* operation = nullptr;
  const char* file = nullptr;
  const char* parameters = nullptr;
  const char* directory = nullptr;
  int showCommand = 1;
};

// The shell's answer: above 32 for an accepted request, else an error code
// (2 file not found, 3 path not found, 5 access denied, 8 out of memory,
// 11 invalid program, 31 no associated application, ...).
using ShellResult = std::uintptr_t;

class Services {
 public:
  virtual ~Services() = default;

  // Calendar time in seconds since 1970-01-01 00:00:00 UTC, 64-bit.
  virtual std::int64_t CalendarTime() = 0;
  // Milliseconds since an arbitrary start, wrapping at 32 bits.
  virtual std::uint32_t TickCount() = 0;
  // Pauses the calling thread.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Starts a program without waiting for it; see ShellResult.
  virtual ShellResult ExecuteShellRequest(const ShellRequest& request) = 0;
  // Writes bytes to the standard error stream, unbuffered.
  virtual void WriteError(std::string_view bytes) = 0;
};

// The services in force: the real ones unless a test has put a fake in place.
Services& System();
// The real services of this system.
Services& RealServices();

// Puts `replacement` in force for the lifetime of this object.
class ScopedServices {
 public:
  explicit ScopedServices(Services& replacement);
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services* previous_;
};

// ---- Time ----------------------------------------------------------------

// Converts a calendar time to local broken-down time; false when this
// system's `localtime` refuses it (Windows refuses negative times).
bool LocalTime(std::int64_t calendarTime, std::tm* out);

// ---- File status and attributes ------------------------------------------

// What the 64-bit stat call of the C runtime reports of one path.
struct StatRecord {
  std::uint16_t mode = 0;  // 0x4000 folder, 0x8000 anything else
  std::int64_t size = 0;
  std::int64_t accessTime = 0;
  std::int64_t modifyTime = 0;
  std::int64_t createTime = 0;
};

constexpr std::uint16_t kModeTypeMask = 0xF000;
constexpr std::uint16_t kModeFolder = 0x4000;
constexpr std::uint16_t kModeFile = 0x8000;

// `_stat64`: 0 and `out` filled on success, else the C runtime's error
// number (2 for names with `?` or `*`, names ending in a separator other than
// a root, and names that do not exist). `out` is left alone on failure.
int StatPath(const char* path, StatRecord* out);

// True exactly when StatPath would succeed for `path`, answered by the
// cheapest call that tells: existence tests in loops need nothing more.
bool HasStatus(const char* path);

// `_access` in existence mode: true when anything of that name exists.
bool AccessExists(const char* path);

constexpr std::uint32_t kAttributeReadOnly = 0x1;
constexpr std::uint32_t kAttributeHidden = 0x2;
constexpr std::uint32_t kAttributeSystem = 0x4;
constexpr std::uint32_t kAttributeFolder = 0x10;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

// `GetFileAttributesA`: the attribute bits, or kInvalidAttributes.
std::uint32_t GetAttributes(const char* path);
// `SetFileAttributesA`: true on success.
bool SetAttributes(const char* path, std::uint32_t attributes);

// ---- Process environment -------------------------------------------------

// `GetModuleFileNameA` for the running program into a 260-byte buffer:
// the full path of the executable (cut to 259 bytes), or empty.
std::string ModuleFileName();
// `GetCurrentDirectoryA` with 260 bytes: empty when it fails or does not fit.
std::string CurrentDirectory();
// `GetLongPathNameA` with 260 bytes: the long form, or `path` unchanged when
// the call fails or the long form does not fit.
std::string LongPathName(const std::string& path);
// The C runtime's `getenv`: the value, or empty when unset.
std::string EnvironmentValue(const char* name);
// Sets (or, with null `value`, removes) an environment variable of this
// process, seen by the C runtime, the system and started programs.
bool SetEnvironmentValue(const char* name, const char* value);
// `GetTempPathA` with 260 bytes: the system's temporary path, or empty.
std::string SystemTempPath();
// `SHGetSpecialFolderPathA` bound by name at run time, with the item
// identifier fallback: the folder's path, or empty. `owner` is a window
// handle or null.
std::string SpecialFolderPath(void* owner, int folderId);
// `GetUserNameA` with 257 bytes: the user's name, or empty.
std::string UserName();
// Makes sure `path` is a folder that only this user can change: creates it
// when missing (POSIX: mode 0700 whatever the umask) and accepts it only when
// it is a real folder, not a link or junction, and on POSIX owned by the
// effective user and writable by nobody else. False when it is refused.
bool MakePrivateFolder(const char* path);

// Makes a write to a pipe whose reader has gone fail with an error instead of
// ending the process (SIGPIPE ignored on POSIX; nothing to do on Windows).
// Programs started later get the default disposition back.
void IgnoreBrokenPipes();

// ---- Which system ----------------------------------------------------------

#ifdef _WIN32
inline constexpr bool kWindows = true;
// The file-name suffix of programs, and the extension that a program search
// compares with to allow the system folders.
inline constexpr char kProgramSuffix[] = ".exe";
inline constexpr char kProgramExtension[] = "exe";
#else
inline constexpr bool kWindows = false;
inline constexpr char kProgramSuffix[] = "";
inline constexpr char kProgramExtension[] = "";
#endif

// ---- Files and folders ---------------------------------------------------

// `_mkdir`: true when the folder was created.
bool MakeDirectory(const char* path);
// `_creat` with read-and-write permission, then `_close`: true when the file
// was created or truncated. The name is opened without following a link and
// without blocking, and only what the opened handle shows to be a regular file
// with one link (on POSIX also owned by this user) is truncated: a link, FIFO,
// socket, device or folder planted at the name is refused and left alone.
bool CreateEmptyFileAt(const char* path);
// True when `path` is a regular file, not a link or reparse point, and on
// POSIX one with a single name, owned by the effective user: what counts as
// a converter's output.
bool IsOwnPlainFile(const char* path);
// Opens `path` for reading in binary mode without following a link and
// without blocking, and keeps the stream only when the opened handle is a
// regular file with exactly one link. Null otherwise.
std::FILE* OpenPlainFileForReading(const char* path);
// Opens `path` for writing in binary mode, truncated, without following a
// link and without blocking: a missing file is created, an existing one is
// used only when the opened handle is a regular file with one link (on POSIX
// also owned by this user). Null otherwise, with nothing truncated.
std::FILE* OpenOwnFileForWriting(const char* path);
// True when `path` is a real folder (no link or junction), on POSIX owned by
// the effective user and writable by nobody else; nothing is created.
bool IsPrivateFolder(const char* path);
// `remove` of a file: true on success.
bool RemoveFile(const char* path);
// Removal of an empty folder: true on success.
bool RemoveFolder(const char* path);
// `CopyFileA` without fail-if-exists: true when the copy was made.
bool CopyFileOver(const char* source, const char* destination);
// `fopen`: a stream the caller closes, or null.
std::FILE* OpenStream(const char* path, const char* mode);

// One entry of a folder listing.
struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

// `FindFirstFileA`/`FindNextFileA` on `folder` + "*.*", where `folder` ends
// in a separator: every entry, "." and ".." included, in the order the file
// system gives them. False when the search cannot be started.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>* entries);

// Appends one record to `stream`, a file opened for appending: first what
// `header` makes, when the file is empty at that moment (it is called only
// then), then `bytes`. Records of concurrent writers never tear or
// interleave: each is written under an exclusive lock of the whole file
// (`flock` on POSIX, `LockFileEx` on Windows), asked for again and again for
// at most 10 s of the Services clock, and a record that a full disk cuts
// short is cut off the file again before the unlock, so every line stays
// whole. On POSIX the lock is let go when the stream is closed. False, with
// nothing written, when the stream is not a regular file with exactly one
// link or the lock is not had in time; errors while writing are not
// reported.
bool AppendRecord(std::FILE* stream, std::string (*header)(), std::string_view bytes);

// ---- The shared dump tree -------------------------------------------------
//
// Folders that every user of the machine can write are walked from a trusted
// base one level at a time, never through a symbolic link, junction or other
// reparse point, so a name planted by another user cannot send a write or a
// deletion elsewhere. Each level is held open while the levels below it are
// used.

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

// Opens the file `name` inside `folder` for appending, never through a link
// and never blocking: an existing file is opened without asking to create it,
// a missing one is created exclusively (mode 0666 set explicitly on POSIX)
// and, when another process made it first, opened as existing. Only a regular
// file with exactly one link is kept. A stream the caller closes, or null;
// with null, `refused` (when given) tells whether the name holds something no
// wait can turn into a usable file (a link, folder, FIFO, socket, device or
// multiply-linked file), as opposed to a file that may become available.
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

// What a name inside a shared folder is, looked at without following it.
struct SharedEntry {
  enum Kind { kNone, kFile, kFolder, kOther } kind = kNone;  // kOther: links, devices, ...
  bool readOnly = false;
  std::int64_t modifyTime = 0;
};
SharedEntry LookAtSharedEntry(const SharedFolder& folder, const char* name);

// The names inside `folder` ("." and ".." left out). False when it cannot be
// read.
bool ListSharedFolder(const SharedFolder& folder, std::vector<std::string>* names);

// Deletes `name` inside `folder` when it is a regular file that is not
// read-only (never a link's target); true when it was deleted.
bool RemoveSharedFile(const SharedFolder& folder, const char* name);

// For tests: the kernel's refusal of opens that may create an existing file
// of another user in a sticky folder (fs.protected_regular), a call made
// just before a missing shared file is created, to stage a race, and a call
// before every open that, answering true, fails it as a file that another
// process holds for a while would.
struct SharedFileSeams {
  bool refuseCreatingOpenOfExisting = false;
  void (*beforeCreate)() = nullptr;
  bool (*heldElsewhere)() = nullptr;
};
void SetSharedFileSeamsForTesting(const SharedFileSeams& seams);

// ---- Read-only status of one entry, links not followed ---------------------

// What one directory entry is, as its own entry says: a link is reported as
// a link, never as what it points to.
enum class EntryKind { kFile, kFolder, kLink, kOther };

struct EntryStatus {
  EntryKind kind = EntryKind::kOther;
  // Milliseconds since 1970-01-01 00:00:00 UTC of the last write.
  std::int64_t modifyTimeMs = 0;
};

// `lstat` on POSIX, `GetFileAttributesExA` on Windows (a reparse point counts
// as a link). False, with `out` left alone, when the entry cannot be read.
bool ReadEntryStatus(const char* path, EntryStatus* out);

struct FolderEntryStatus {
  std::string name;
  EntryStatus status;
};

// Every entry of `folder` but "." and "..", each with its own status, in one
// pass: `readdir` and `fstatat` without following links on POSIX (the folder
// itself is not opened through a link), `FindFirstFileA`/`FindNextFileA` on
// Windows. Entries whose status cannot be read are left out. False when the
// folder cannot be listed.
bool ListFolderWithStatus(const std::string& folder, std::vector<FolderEntryStatus>* entries);

// ---- Running a program to its end (tests and tools) -----------------------

// How HoldFileFromWriters keeps writers out.
enum class HoldKind {
  kOpen,        // Windows: open without sharing; POSIX: owner's write bit off
  kRecordLock,  // a shared open with the record lock taken
};

// Keeps `path` unavailable to other writers for `milliseconds` of real time,
// then releases it: with kOpen on Windows it is held open without sharing, on
// POSIX its owner's write permission is taken away (which does not stop
// root); with kRecordLock the lock that AppendRecord takes is held. False when the file could not
// be taken.
bool HoldFileFromWriters(const char* path, std::uint32_t milliseconds,
                         HoldKind kind = HoldKind::kOpen);

// Makes `link` a symbolic link to `target` (a folder link when `folder`),
// for tests of planted links. False when this system cannot.
bool MakeLinkForTesting(const std::string& target, const std::string& link, bool folder);

// Sets this process's file creation mask (umask) and answers the one before;
// on Windows nothing is done and 0 is answered.
std::uint32_t SetFileCreationMaskForTesting(std::uint32_t mask);

// Switches this process, for good, to the user and group `id` (a test's
// second user). False where that is not possible: not root, or Windows.
bool BecomeUserForTesting(std::uint32_t id);

// Blocks (or unblocks) the interrupt signal in the calling thread, as a
// parent that starts the programs may have; programs started meanwhile must
// not inherit it. False on Windows, which has no signal mask.
bool BlockInterruptForTesting(bool block);

// Starts `program` with `parameters` split into arguments as the Windows C
// runtime splits a command line, waits for it to end and returns its exit
// status; -1 when it could not be started. When `errorFile` is given, the
// program's standard error stream goes to that file.
// When `outputFile` is given, its standard output stream goes to that file.
int RunAndWait(const std::string& program, const std::string& parameters,
               const std::string& errorFile = std::string(),
               const std::string& outputFile = std::string());

}  // namespace quill::platform
