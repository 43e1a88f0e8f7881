// Copying a file into a folder that is created when missing.
#pragma once

namespace quill {

// Copies the file `source` over `destination`, creating the destination's
// folder when it is missing. True when the copy was made.
bool CopyFileTo(const char* source, const char* destination);

}  // namespace quill
