// Temporary and special folders, and the user's name.
#pragma once

#include <string>

namespace quill {

// Shell folder identifiers.
constexpr int CSIDL_WINDOWS = 0x24;
constexpr int CSIDL_SYSTEM = 0x25;
constexpr int CSIDL_PROGRAM_FILES = 0x26;
constexpr int CSIDL_COMMON_DOCUMENTS = 0x2E;
constexpr int CSIDL_FLAG_CREATE = 0x8000;

// The path of a shell folder, or empty. `owner` is a window handle or null.
std::string SpecialFolderPath(void* owner, int folderId);
// `SpecialFolderPath` with no owner window.
std::string SpecialFolder(int folderId);
// The per-user temporary folder, with its replacements and fallbacks; empty
// when the last fallback, a folder named after the user, is not private to
// this user (that refusal is recorded in the dump log).
std::string TempFolder();
// The folder `TempFolder` answers with, found without making, checking or
// recording anything (for readers that must not change the machine).
// `isUserFolder`, when given, tells whether it is the last fallback, the
// folder named after the user, which `TempFolder` uses only when private.
std::string TempFolderName(bool* isUserFolder = nullptr);
// The name of the user the process runs as, or empty.
std::string UserName();

}  // namespace quill
