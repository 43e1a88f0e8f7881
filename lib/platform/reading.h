// Reading what a file holds without its holes, and replacing a file whole: a
// new file beside it, written and closed, then renamed over it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace quill::platform {

// Reads up to `size` bytes of the file of `stream` into `buffer`, from where
// the previous call ended, first stepping over a hole (a stretch that the file
// system keeps no data for and that reads as zeros) where the system tells
// one: `SEEK_DATA` on POSIX; on Windows the zeros are read. The bytes read, 0
// at the end or on an error. A stream read this way is read in no other way.
std::size_t ReadFileData(std::FILE* stream, char* buffer, std::size_t size);

// True when `path` names nothing, or a plain file with one name that is no
// link and, on POSIX, is this user's: a file that a new one may replace.
bool CanReplace(const char* path);

// A new file beside `target`, named after it, made exclusively (never an
// existing name, never through a link) with read and write permission for
// this user and read permission for others, as the creation mask allows; open
// for writing in binary mode, its name in `*path`. Null when none was made.
std::FILE* CreateFileBeside(const std::string& target, std::string* path);

// Gives the file `from` the name `to` in one step, replacing the file there:
// `rename` on POSIX, `MoveFileExA` with MOVEFILE_REPLACE_EXISTING on Windows.
bool RenameOver(const char* from, const char* to);

}  // namespace quill::platform
