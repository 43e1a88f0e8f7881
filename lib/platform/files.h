// Files and folders: status, attributes, creation and removal, streams,
// listings and the appending of whole records.
//
// The calls behave like the Windows calls they are named after; the POSIX side
// stands in for them as docs/platforms.md tells. Paths are passed exactly as
// the library holds them (backslashes allowed); the POSIX side turns every `\`
// into `/` just before the system call.
//
// These calls keep no state of their own. Their failures carry no error
// number, but for `QueryStatus`, which answers the C runtime's: every other
// call says only whether it worked (a bool, a null stream, an invalid value).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quill::platform {

// True for the two characters that separate the levels of a path, `\` and
// `/`, on both systems.
constexpr bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

constexpr std::uint32_t kAttributeReadOnly = 0x1;
constexpr std::uint32_t kAttributeHidden = 0x2;
constexpr std::uint32_t kAttributeSystem = 0x4;
constexpr std::uint32_t kAttributeFolder = 0x10;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

// ---- The status of one entry -----------------------------------------------

// What an entry is. kNone: there is none (or it could not be read); kLink: a
// symbolic link or reparse point, where the query does not follow links.
enum class EntryKind { kNone, kFile, kFolder, kLink, kOther };

// The one status record of an entry, as every status query fills it.
struct EntryStatus {
  EntryKind kind = EntryKind::kNone;
  // Length in bytes; 0 for a folder.
  std::int64_t size = 0;
  // Milliseconds since 1970-01-01 00:00:00 UTC (earlier times negative) of
  // the last access, the last write and the creation; where the system keeps
  // no creation time, the last write stands in for it.
  std::int64_t accessTimeMs = 0;
  std::int64_t modifyTimeMs = 0;
  std::int64_t createTimeMs = 0;
  // The `GetFileAttributesA` bits (kAttribute...; on POSIX read-only when the
  // owner may not write, hidden for a name that starts with a dot).
  std::uint32_t attributes = kInvalidAttributes;
  // The names the entry has (its hard links); 0 when the system did not tell.
  std::uint32_t links = 0;
  // The owner's user id on POSIX, and whether it is the effective user.
  // Windows keeps owners as security ids, which are not compared here: there
  // `ownerKnown` stays false.
  bool ownerKnown = false;
  std::uint64_t owner = 0;
  bool ownedByUser = false;
};

// How a query takes the path.
enum class StatusOf {
  // As `_stat64` takes it: a link is followed, and the names the Windows
  // call refuses fail with 2 (names with `?` or `*`, names ending in a
  // separator other than a root).
  kPath,
  // The entry itself: a link (or reparse point) is reported as a link.
  kEntry,
  // As `_access` in existence mode takes it: anything of that name, with no
  // refusals.
  kAnyName,
};

// The entry type bits of the C runtime's `st_mode`, as `FileStatus::Mode`
// answers them: a folder, or anything else.
constexpr std::uint16_t kModeTypeMask = 0xF000;
constexpr std::uint16_t kModeFolder = 0x4000;
constexpr std::uint16_t kModeFile = 0x8000;

// The status of `path`, taken as `how` says: 0 with `out` filled, or the C
// runtime's error number (2: no such entry) with `out` left alone. With a
// null `out` only whether the query would succeed is asked, by the cheapest
// call that tells: the existence tests that run in loops need nothing more.
// `lstat`/`stat`/`access` on POSIX; `GetFileAttributesExA` on Windows.
int QueryStatus(const char* path, StatusOf how, EntryStatus* out);

// `SetFileAttributesA`: true on success.
bool SetAttributes(const char* path, std::uint32_t attributes);

// ---- Files and folders ---------------------------------------------------

// `_mkdir`: true when the folder was created.
bool MakeDirectory(const char* path);
// `_creat` with read-and-write permission, then `_close`: true when the file
// was created or truncated. The name is opened without following a link and
// without blocking, and only what the opened handle shows to be a regular file
// with one link (on POSIX also owned by this user) is truncated: a link, FIFO,
// socket, device or folder planted at the name is refused and left alone.
bool CreateEmptyFileAt(const char* path);
// Opens `path` for reading in binary mode without following a link and
// without blocking, and keeps the stream only when the opened handle is a
// regular file with exactly one link. Null otherwise.
std::FILE* OpenPlainFileForReading(const char* path);
// `remove` of a file: true on success.
bool RemoveFile(const char* path);
// Removal of an empty folder: true on success.
bool RemoveFolder(const char* path);
// `CopyFileA` without fail-if-exists: true when the copy was made.
bool CopyFileOver(const char* source, const char* destination);
// `fopen`: a stream the caller closes, or null.
std::FILE* OpenStream(const char* path, const char* mode);

// One entry of a folder listing, with its status.
struct FolderEntryStatus {
  std::string name;
  EntryStatus status;
};

// `FindFirstFileA`/`FindNextFileA` on `folder` + "*.*", where `folder` ends
// in a separator: every entry, "." and ".." included, in the order the file
// system gives them, each with only its kind filled in (a link counts as
// what it leads to; on POSIX from the listing itself where it tells, as it
// mostly does). False when the search cannot be started.
bool ListFolder(const std::string& folder, std::vector<FolderEntryStatus>* entries);

// Appends one record to `stream`, a file opened for appending: first what
// `header` makes, when the file is empty at that moment (it is called only
// then), then `bytes`. The record goes out in one append, so it never tears
// or interleaves with another writer's. Writers also take an exclusive lock
// of the whole file (`flock` on POSIX, `LockFileEx` on Windows), asked for
// for at most kRecordLockWaitMs of the Services clock, under which a record
// that a full disk cuts short is cut off the file again, so every line stays
// whole. A lock that is still held by then (by anyone: every user who can
// open the file can take it) only costs that record the cut: it is appended
// without the lock. On POSIX the lock is let go when the stream is closed.
// False, with nothing written, when the stream is not a regular file with
// exactly one link; errors while writing are not reported.
bool AppendRecord(std::FILE* stream, std::string (*header)(), std::string_view bytes);

// How long AppendRecord asks for the record lock before it appends without.
// Honest writers hold it for well under a millisecond.
constexpr std::uint32_t kRecordLockWaitMs = 250;

// Every entry of `folder` but "." and "..", each with its own status, in one
// pass: `readdir` and `fstatat` without following links on POSIX (the folder
// itself is not opened through a link), `FindFirstFileA`/`FindNextFileA` on
// Windows, where each plain file is also opened for its count of names.
// Entries whose status cannot be read are left out. False when the folder
// cannot be listed.
bool ListFolderWithStatus(const std::string& folder, std::vector<FolderEntryStatus>* entries);

}  // namespace quill::platform
