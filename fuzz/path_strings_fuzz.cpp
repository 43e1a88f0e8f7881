// Path text operations: the folder, the separator and the leaf give the path
// back; stem and extension give the leaf back; trailing separators come and go
// one at a time; the character-pointer forms agree with the string forms.
//
// Input: path NUL [capacity bytes for CopyToBuffer] NUL [separator].
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "paths/path_strings.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Where the last separator stands: the last `\`, or the last `/` in a path
// without any `\`.
std::size_t LastSeparator(const std::string& path) {
  const std::size_t backslash = path.find_last_of('\\');
  return backslash != std::string::npos ? backslash : path.find_last_of('/');
}

void CheckFolderAndLeaf(const std::string& path) {
  const std::string folder = quill::PathFolder(path);
  const std::string leaf = quill::PathLeaf(path);
  const std::vector<std::string> notes = {"path " + Escaped(path), "folder " + Escaped(folder),
                                          "leaf " + Escaped(leaf)};
  Check(folder == quill::PathFolder(path.c_str()), "PathFolder: pointer form agrees", notes);
  const std::size_t separator = LastSeparator(path);
  if (separator == std::string::npos) {
    Check(folder == "\\", "PathFolder without a separator is \\", notes);
    Check(leaf == path, "PathLeaf without a separator is the path", notes);
    return;
  }
  Check(
      folder.size() + 1 + leaf.size() == path.size() && folder + path[folder.size()] + leaf == path,
      "folder + separator + leaf give the path back", notes);
  Check(IsSeparator(path[folder.size()]), "the character between folder and leaf is a separator",
        notes);
  Check(leaf.find('\\') == std::string::npos, "the leaf holds no backslash", notes);
  if (path.find('\\') == std::string::npos) {
    Check(leaf.find('/') == std::string::npos, "without backslashes the leaf holds no slash",
          notes);
  }
}

void CheckStemAndExtension(const std::string& path) {
  const std::string leaf = quill::PathLeaf(path);
  const std::string stem = quill::PathStem(path);
  const std::string extension = quill::PathExtension(path);
  const std::vector<std::string> notes = {"path " + Escaped(path), "leaf " + Escaped(leaf),
                                          "stem " + Escaped(stem),
                                          "extension " + Escaped(extension)};
  Check(stem == quill::PathStem(path.c_str()), "PathStem: pointer form agrees", notes);
  Check(extension == quill::PathExtension(path.c_str()), "PathExtension: pointer form agrees",
        notes);
  if (leaf.empty() || leaf == " " || leaf.find('?') != std::string::npos) {
    Check(stem.empty() && extension.empty(), "no stem and no extension for an unnamed leaf", notes);
    return;
  }
  Check(extension.find('.') == std::string::npos, "the extension holds no dot", notes);
  if (leaf.find('.') == std::string::npos) {
    Check(stem == leaf && extension.empty(), "a leaf without a dot is all stem", notes);
  } else {
    Check(stem + "." + extension == leaf, "stem + . + extension give the leaf back", notes);
  }
}

// Run in the "C" locale, where the last character is the last byte.
void CheckTrailingSeparators(const std::string& path, char separator) {
  const char last = quill::LastChar(path);
  const std::string added = quill::AddTrailingSeparator(path, separator);
  const std::string removed = quill::RemoveTrailingSeparator(path);
  const std::vector<std::string> notes = {"path " + Escaped(path),
                                          "separator " + Escaped(std::string(1, separator)),
                                          "added " + Escaped(added), "removed " + Escaped(removed)};
  Check(last == (path.empty() ? '\0' : path.back()), "LastChar is the last byte", notes);
  Check(removed == quill::RemoveTrailingSeparator(path.c_str()),
        "RemoveTrailingSeparator: pointer form agrees", notes);
  const bool endsInSeparator = !path.empty() && IsSeparator(path.back());
  if (path.empty()) {
    Check(added.empty() && removed.empty(), "the empty path stays empty", notes);
  } else if (endsInSeparator) {
    Check(added == path, "a path ending in a separator gets none added", notes);
    Check(removed == path.substr(0, path.size() - 1), "exactly one trailing separator goes", notes);
  } else {
    Check(added == path + separator, "the given separator is appended", notes);
    Check(removed == path, "a path without a trailing separator is unchanged", notes);
    Check(quill::RemoveTrailingSeparator(added) == path || !IsSeparator(separator),
          "removing an added separator gives the path back", notes);
  }
  if (!added.empty() && IsSeparator(added.back())) {
    Check(quill::AddTrailingSeparator(added, separator) == added, "adding twice adds once", notes);
  }
}

void CheckSmallHelpers(const std::string& text, char c) {
  const std::string surrounded = quill::Surround(text, c);
  const std::string lower = quill::ToLower(text);
  const std::vector<std::string> notes = {
      "text " + Escaped(text), "surrounded " + Escaped(surrounded), "lower " + Escaped(lower)};
  Check(surrounded == std::string(1, c) + text + c, "Surround puts c on both sides", notes);
  Check(lower.size() == text.size(), "ToLower keeps the length", notes);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char expected =
        text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
    Check(lower[i] == expected, "ToLower in the C locale changes A to Z only", notes);
  }
}

// The buffer is exactly `capacity` bytes on the heap, so a write past it is an
// AddressSanitizer report.
void CheckCopyToBuffer(const std::string& source, unsigned capacity) {
  std::unique_ptr<char[]> buffer(capacity > 0 ? new char[capacity] : nullptr);
  if (capacity > 0) std::memset(buffer.get(), 'X', capacity);
  const bool fitted = quill::CopyToBuffer(buffer.get(), capacity, source.c_str());
  const std::vector<std::string> notes = {"source " + Escaped(source),
                                          "capacity " + std::to_string(capacity)};
  Check(fitted == (capacity > 0 && source.size() < capacity), "fits exactly when source + NUL fit",
        notes);
  if (capacity == 0) return;
  const std::size_t copied = std::min<std::size_t>(source.size(), capacity - 1);
  Check(std::memcmp(buffer.get(), source.data(), copied) == 0 && buffer[copied] == '\0',
        "the buffer holds the source, cut to fit, and a NUL", notes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> fields = quill::fuzz::Fields(data, size);
  const std::string& path = fields[0];
  const unsigned capacity = fields.size() > 1 ? static_cast<unsigned>(fields[1].size())
                                              : static_cast<unsigned>(path.size() + 1);
  const char separator = fields.size() > 2 && !fields[2].empty() ? fields[2][0] : '\\';

  CheckFolderAndLeaf(path);
  CheckStemAndExtension(path);
  CheckTrailingSeparators(path, separator);
  CheckSmallHelpers(path, separator);
  CheckCopyToBuffer(path, capacity);
  return 0;
}
