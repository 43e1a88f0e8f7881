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

// A file time as one count of 100 ns steps since 1601-01-01.
inline std::uint64_t FileTimeTicks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace quill::platform::win32
