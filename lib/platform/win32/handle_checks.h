// Checks on opened handles, for names that another user may have planted.
#pragma once

#include <windows.h>

#include <cstdio>

namespace quill::platform::win32 {

// True when `handle` is a file on disk, not a folder or reparse point, with
// exactly one name. Decided on the handle, so a name swapped after the open
// cannot mislead it.
bool IsSinglePlainFile(HANDLE handle);

// A C runtime stream on `handle` with the `_open_osfhandle` flags and the
// fopen `mode`; the handle is closed and null answered when that fails.
std::FILE* StreamOnHandle(HANDLE handle, int flags, const char* mode);

}  // namespace quill::platform::win32
