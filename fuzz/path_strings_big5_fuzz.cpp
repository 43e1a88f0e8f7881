// Path text operations under a double-byte code page (BIG5, like Windows code
// page 950), where a character's trail byte can be the backslash: the last
// character is found by walking the characters from the front, so a trail
// byte is never taken for a separator; lower-casing keeps every character
// whole; folder and leaf are still found byte by byte.
//
// Input: the path.
#include <clocale>
#include <cstdlib>
#include <cwctype>

#include "fuzz_support.h"
#include "paths/path_strings.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Where each character begins, by the runtime's single-character decoding; a
// byte that starts no complete character stands alone. `valid` tells whether
// every character was complete and known.
std::vector<std::size_t> CharacterStarts(const std::string& text, bool* valid) {
  std::vector<std::size_t> starts;
  *valid = true;
  std::mbtowc(nullptr, nullptr, 0);
  std::size_t at = 0;
  while (at < text.size()) {
    starts.push_back(at);
    wchar_t wide = 0;
    const int length = std::mbtowc(&wide, text.data() + at, text.size() - at);
    if (length <= 0) {
      *valid = false;
      std::mbtowc(nullptr, nullptr, 0);
      at += 1;
    } else {
      at += static_cast<std::size_t>(length);
    }
  }
  return starts;
}

wchar_t Wide(const std::string& text, std::size_t at, std::size_t length) {
  wchar_t wide = 0;
  std::mbtowc(nullptr, nullptr, 0);
  std::mbtowc(&wide, text.data() + at, length);
  return wide;
}

bool g_doubleByte = false;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const char* name : {"zh_TW.BIG5", "zh_TW.big5"}) {
    if (std::setlocale(LC_ALL, name) != nullptr && MB_CUR_MAX > 1) {
      g_doubleByte = true;
      return 0;
    }
  }
  std::printf("no BIG5 locale on this system: the double-byte checks are skipped\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!g_doubleByte) return 0;
  const std::string path = quill::fuzz::Fields(data, size)[0];
  bool valid = false;
  const std::vector<std::size_t> starts = CharacterStarts(path, &valid);

  const char last = quill::LastChar(path);
  const std::string added = quill::AddTrailingSeparator(path, '\\');
  const std::string removed = quill::RemoveTrailingSeparator(path);
  std::vector<std::string> notes = {"path " + Escaped(path),
                                    "last " + Escaped(std::string(1, last)),
                                    "added " + Escaped(added), "removed " + Escaped(removed)};

  Check(last == (path.empty() ? '\0' : path[starts.back()]),
        "LastChar is the first byte of the last character", notes);
  const bool lastIsSingleSeparator =
      !path.empty() && starts.back() == path.size() - 1 && IsSeparator(path.back());
  if (path.empty()) {
    Check(added.empty() && removed.empty(), "the empty path stays empty", notes);
  } else if (lastIsSingleSeparator) {
    Check(added == path && removed == path.substr(0, path.size() - 1),
          "a separator character at the end counts", notes);
  } else {
    Check(added == path + '\\' && removed == path,
          "a trail byte that looks like a separator does not count", notes);
  }
  if (valid && !path.empty() && !lastIsSingleSeparator) {
    Check(quill::LastChar(added) == '\\' && quill::RemoveTrailingSeparator(added) == path,
          "an added separator ends the path and goes again", notes);
  }

  // Folder and leaf are found byte by byte, whatever the characters.
  const std::string folder = quill::PathFolder(path);
  const std::string leaf = quill::PathLeaf(path);
  notes.push_back("folder " + Escaped(folder));
  notes.push_back("leaf " + Escaped(leaf));
  if (path.find_first_of("\\/") == std::string::npos) {
    Check(folder == "\\" && leaf == path, "without a separator byte: folder \\, leaf the path",
          notes);
  } else {
    Check(folder.size() + 1 + leaf.size() == path.size() &&
              folder + path[folder.size()] + leaf == path,
          "folder + separator + leaf give the path back", notes);
  }

  if (valid) {
    const std::string lower = quill::ToLower(path);
    const std::vector<std::string> lowerNotes = {"path " + Escaped(path),
                                                 "lower " + Escaped(lower)};
    bool lowerValid = false;
    const std::vector<std::size_t> lowerStarts = CharacterStarts(lower, &lowerValid);
    Check(lowerValid && lowerStarts.size() == starts.size(),
          "lower-casing keeps every character whole", lowerNotes);
    Check(quill::ToLower(lower) == lower, "lower-casing twice changes nothing more", lowerNotes);
    for (std::size_t i = 0; i < starts.size(); ++i) {
      const std::size_t length = (i + 1 < starts.size() ? starts[i + 1] : path.size()) - starts[i];
      const std::size_t lowerLength =
          (i + 1 < lowerStarts.size() ? lowerStarts[i + 1] : lower.size()) - lowerStarts[i];
      const wchar_t before = Wide(path, starts[i], length);
      const wchar_t after = Wide(lower, lowerStarts[i], lowerLength);
      if (length == 1) {
        const char c = path[starts[i]];
        Check(lowerLength == 1 &&
                  lower[lowerStarts[i]] == (c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c),
              "a single-byte character changes from A to Z only", lowerNotes);
      } else {
        Check(after == before ||
                  after == static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(before))),
              "a double-byte character becomes itself or its lower case", lowerNotes);
      }
    }
  }
  return 0;
}
