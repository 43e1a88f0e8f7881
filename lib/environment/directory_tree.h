// Creating folder trees and the empty hand-off files.
#pragma once

#include <string>

#include "paths/tokenize.h"
#include "platform/shared_tree.h"

namespace quill {

// Makes sure the folder `path` exists, creating every missing level from the
// outermost inwards (never a network server or share). True when it exists at
// the end, also when another process made a level first; false, after a
// "Can't create " dump entry, when a level fails. A link at a level that lies
// on shared ground (see platform::IsUntrustedLink) is such a failure: nothing
// is made through it.
bool CreateDirectoryTree(const std::string& path);

// Creates the file `path` empty (or truncates it) after making sure its
// folder exists, and closes it. True when the file was created. The file is
// made inside its folder as held open level by level, so no link on shared
// ground sends it elsewhere.
bool CreateEmptyFile(const std::string& path);

// Opens the folder `levels` below the trusted folder `base` one level at a
// time, never through a link or junction. With `create`, a missing base is
// made as CreateDirectoryTree makes it and missing levels are made open to
// every user. An empty object unless every level opened; then `failedLevel`
// (when given) is the level that could not be made or opened, spelled as
// CreateDirectoryTree spells it, or empty when the base failed.
platform::SharedFolder OpenSharedTree(const std::string& base, const StringList& levels,
                                      bool create, std::string* failedLevel = nullptr);

}  // namespace quill
