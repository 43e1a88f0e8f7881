// Path spelling for POSIX system calls.
#pragma once

#include <string>

namespace quill::platform::posix {

// The path as the system takes it: every `\` becomes `/`. Null is empty.
std::string SystemPath(const char* path);

}  // namespace quill::platform::posix
