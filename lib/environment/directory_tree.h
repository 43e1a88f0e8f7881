// Creating folder trees and the empty hand-off files.
#pragma once

#include <string>

namespace quill {

// Makes sure the folder `path` exists, creating every missing level from the
// outermost inwards (never a network server or share). True when it exists at
// the end; false, after a "Can't create " dump entry, when a level fails.
bool CreateDirectoryTree(const std::string& path);

// Creates the file `path` empty (or truncates it) after making sure its
// folder exists, and closes it. True when the file was created.
bool CreateEmptyFile(const std::string& path);

}  // namespace quill
