// Helpers of the Windows backend's files: checks on opened handles, for names
// that another user may have planted, and file times.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace quill::platform::win32 {

// True when `handle` is a file on disk, not a folder or reparse point, with
// exactly one name. Decided on the handle, so a name swapped after the open
// cannot mislead it.
bool IsSinglePlainFile(HANDLE handle);

// A C runtime stream on `handle` with the `_open_osfhandle` flags and the
// fopen `mode`; the handle is closed and null answered when that fails.
std::FILE* StreamOnHandle(HANDLE handle, int flags, const char* mode);

// Opens `path` itself, never what a reparse point there names, and keeps the
// handle only when it is a plain file with one name; else
// INVALID_HANDLE_VALUE.
HANDLE OpenPlainFile(const char* path, DWORD access, DWORD disposition);

// Cuts the file of `handle` to nothing; false when the system refuses.
bool Truncate(HANDLE handle);

// The text of a path for a system call; null reads as the empty string.
const char* Text(const char* path);

// A file time as one count of 100 ns steps since 1601-01-01.
inline std::uint64_t FileTimeTicks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A file time as milliseconds since 1970-01-01 00:00:00 UTC, rounded down
// (earlier times are negative).
inline std::int64_t UnixMilliseconds(const FILETIME& time) {
  constexpr std::uint64_t kTicksPerMs = 10'000;
  constexpr std::int64_t kMsFrom1601To1970 = 11'644'473'600'000;
  return static_cast<std::int64_t>(FileTimeTicks(time) / kTicksPerMs) - kMsFrom1601To1970;
}

}  // namespace quill::platform::win32
