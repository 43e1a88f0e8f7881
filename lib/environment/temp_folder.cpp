#include "environment/temp_folder.h"

#include "environment/dump_line.h"
#include "environment/dump_log.h"
#include "environment/special_folders.h"
#include "paths/tokenize.h"
#include "platform/environment.h"

namespace quill {

std::string TempFolder() {
  bool isUserFolder = false;
  const std::string folder = TempFolderName(&isUserFolder);
  // The folder named after the user is made here because nobody else will.
  // Any user can take that name first, as a folder of their own or as a
  // link, so only a private folder of this user's is used; anything else is
  // recorded like a folder that cannot be made.
  if (!isUserFolder || platform::MakePrivateFolder(folder.c_str())) return folder;
  WriteDumpEntry(dumpline::CantCreateText(NormalizeSeparators(folder, '\\')).c_str());
  return std::string();
}

}  // namespace quill
