// Files and folders: status, attributes, creation and removal, streams,
// listings and the appending of whole records.
//
// The calls behave like the Windows calls they are named after; the POSIX side
// stands in for them as docs/platforms.md tells. Paths are passed exactly as
// the library holds them (backslashes allowed); the POSIX side turns every `\`
// into `/` just before the system call.
//
// These calls keep no state of their own. Their failures carry no error
// number, but for `StatPath`, which answers the C runtime's: every other call
// says only whether it worked (a bool, a null stream, an invalid value).
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
// Opens `path` for writing in binary mode, truncated, without following a
// link and without blocking: a missing file is created, an existing one is
// used only when the opened handle is a regular file with one link (on POSIX
// also owned by this user). Null otherwise, with nothing truncated.
std::FILE* OpenOwnFileForWriting(const char* path);
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

// ---- Read-only status of one entry, links not followed ---------------------

// What one directory entry is, as its own entry says: a link is reported as
// a link, never as what it points to.
enum class EntryKind { kFile, kFolder, kLink, kOther };

struct EntryStatus {
  EntryKind kind = EntryKind::kOther;
  // Milliseconds since 1970-01-01 00:00:00 UTC of the last write.
  std::int64_t modifyTimeMs = 0;
  // The names the entry has (its hard links); 0 when the system did not tell.
  std::uint32_t links = 0;
  // The owner's user id on POSIX. Windows keeps owners as security ids, which
  // are not compared here: there `ownerKnown` stays false.
  bool ownerKnown = false;
  std::uint64_t owner = 0;
};

// `lstat` on POSIX, `GetFileAttributesExA` on Windows (a reparse point counts
// as a link; a plain file's names are asked of the file itself). False, with
// `out` left alone, when the entry cannot be read.
bool ReadEntryStatus(const char* path, EntryStatus* out);

struct FolderEntryStatus {
  std::string name;
  EntryStatus status;
};

// Every entry of `folder` but "." and "..", each with its own status, in one
// pass: `readdir` and `fstatat` without following links on POSIX (the folder
// itself is not opened through a link), `FindFirstFileA`/`FindNextFileA` on
// Windows, where each plain file is also opened for its count of names.
// Entries whose status cannot be read are left out. False when the folder
// cannot be listed.
bool ListFolderWithStatus(const std::string& folder, std::vector<FolderEntryStatus>* entries);

}  // namespace quill::platform
