// Unused names for output files, so that no output is ever overwritten.
#pragma once

#include <string>

namespace quill {

// `path` itself when nothing of that name exists; else the first free name of
// the form <folder>\<stem>.NNN.<extension>, NNN from 000 to 999; `path` again
// when all of those are taken.
std::string FreeFileName(const std::string& path);

// The folder of `path` with a trailing `\`, followed by the stem of its file
// name: "C:\w\a.in_.out" gives "C:\w\a.in_".
std::string PathWithoutExtension(const std::string& path);

}  // namespace quill
