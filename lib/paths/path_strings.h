// Taking paths apart and putting them together as text.
//
// Paths are byte strings in the current locale's multibyte encoding. The
// written separator is `\`; `/` is accepted on input. Where one separator
// position is sought, the last `\` wins and `/` counts only in a path without
// any `\`. A null `const char*` counts as the empty string.
#pragma once

#include <string>
#include <string_view>

namespace quill {

// The first byte of the last character of `s` (characters counted under the
// current C locale, so a double-byte trail byte is never taken on its own);
// '\0' for an empty `s`.
char LastChar(const std::string& s);

// `c`, then `s`, then `c`.
std::string Surround(const std::string& s, char c);

// `path` ending in a separator: unchanged when it already ends in `\` or `/`,
// else with `separator` appended. An empty path stays empty.
std::string AddTrailingSeparator(const std::string& path, char separator = '\\');

// `path` without one trailing `\` or `/` (only one goes).
std::string RemoveTrailingSeparator(const std::string& path);
std::string RemoveTrailingSeparator(const char* path);

// The part before the last separator, or "\" when there is none.
std::string PathFolder(const std::string& path);
std::string PathFolder(const char* path);

// The part after the last separator (possibly empty), or the whole path.
std::string PathLeaf(const std::string& path);

// The leaf without its last ".extension". Empty when the leaf is empty, is a
// single blank or holds a `?`.
std::string PathStem(const std::string& path);
std::string PathStem(const char* path);

// The leaf's text after its last `.`, or empty. Empty under the same
// conditions as PathStem.
std::string PathExtension(const std::string& path);
std::string PathExtension(const char* path);

// The full file path of the running program (`module` null), or empty. Other
// modules are not supported and give empty.
std::string ModulePath(const void* module = nullptr);

// A copy lower-cased by the current C locale's character classes.
std::string ToLower(const std::string& s);

// True when `text` ends with `end`, byte for byte.
bool EndsWith(std::string_view text, std::string_view end);
// True for the ASCII digits 0 to 9 only, whatever the locale.
bool IsDigit(char c);

// Copies as much of `source` as fits into `destination` and always ends it
// with a NUL (nothing is written when `capacity` is 0). True when the whole
// source with its NUL fitted.
// Offered by design; no program calls it.
bool CopyToBuffer(char* destination, unsigned capacity, const char* source);

}  // namespace quill
