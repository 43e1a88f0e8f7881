// Creating folder trees and the empty hand-off files.
#pragma once

#include <string>

#include "paths/tokenize.h"
#include "platform/shared_tree.h"

namespace quill {

// Makes sure the folder `path` exists, creating every missing level from the
// outermost inwards (never a network server or share). True when it exists at
// the end, also when another process made a level first; false, after a
// "Can't create " dump entry, when a level fails.
bool CreateDirectoryTree(const std::string& path);

// Creates the file `path` empty (or truncates it) after making sure its
// folder exists, and closes it. True when the file was created.
bool CreateEmptyFile(const std::string& path);

// Opens the folder `levels` below the trusted folder `base` one level at a
// time, never through a link or junction. With `create`, a missing base is
// made as CreateDirectoryTree makes it and missing levels are made open to
// every user; a level that cannot be made, or that is a link or no folder,
// gets the "Can't create " entry. An empty object unless every level opened.
platform::SharedFolder OpenSharedTree(const std::string& base, const StringList& levels,
                                      bool create);

}  // namespace quill
