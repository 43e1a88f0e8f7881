#include "filetree/file_copy.h"

#include <string>

#include "environment/directory_tree.h"
#include "paths/file_status.h"
#include "paths/internal.h"
#include "paths/path_strings.h"
#include "platform/files.h"

namespace quill {

bool CopyFileTo(const char* source, const char* destination) {
  const std::string from = internal::FromPointer(source);
  const std::string to = internal::FromPointer(destination);
  if (!PathExists(from)) return false;
  const std::string folder = PathFolder(to);
  if (!FolderExists(folder) && !CreateDirectoryTree(folder)) return false;
  return platform::CopyFileOver(from.c_str(), to.c_str());
}

}  // namespace quill
