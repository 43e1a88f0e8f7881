// Special folders, the temporary folder that would be used, and the user's
// name: read-only questions.
#pragma once

#include <string>

#include "platform/environment.h"

namespace quill {

// Shell folder identifiers, by the shell's names.
constexpr int CSIDL_WINDOWS = platform::ShellFolderId(platform::ShellFolder::kWindows);
constexpr int CSIDL_SYSTEM = platform::ShellFolderId(platform::ShellFolder::kSystem);
constexpr int CSIDL_PROGRAM_FILES = platform::ShellFolderId(platform::ShellFolder::kProgramFiles);
constexpr int CSIDL_COMMON_DOCUMENTS =
    platform::ShellFolderId(platform::ShellFolder::kCommonDocuments);
constexpr int CSIDL_FLAG_CREATE = platform::kShellFolderCreate;

// The path of a shell folder, or empty. `owner` is a window handle or null.
std::string SpecialFolderPath(void* owner, int folderId);
// `SpecialFolderPath` with no owner window.
std::string SpecialFolder(int folderId);
// The folder `TempFolder` (environment/temp_folder.h) answers with, found
// without making, checking or recording anything: the questions here only
// read, so a reader that must not change the machine links none of the
// writers.
// `isUserFolder`, when given, tells whether it is the last fallback, the
// folder named after the user, which `TempFolder` uses only when private.
std::string TempFolderName(bool* isUserFolder = nullptr);
// The name of the user the process runs as, or empty.
std::string UserName();

}  // namespace quill
