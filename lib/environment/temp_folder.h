// The per-user temporary folder as the programs use it: found, and where it
// is a folder named after the user, made private or refused and recorded.
#pragma once

#include <string>

namespace quill {

// The per-user temporary folder, with its replacements and fallbacks; empty
// when the last fallback, a folder named after the user, is not private to
// this user (that refusal is recorded in the dump log).
std::string TempFolder();

}  // namespace quill
