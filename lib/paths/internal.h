// Small helpers shared by the library's own source files; not part of the
// library's interface.
#pragma once

#include <string>

namespace quill::internal {

// The text of a C string; null reads as the empty string.
inline std::string FromPointer(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace quill::internal
