// Splitting text at delimiter characters, joining lists of strings, and the
// canonical written form of a path.
#pragma once

#include <string>
#include <vector>

namespace quill {

using StringList = std::vector<std::string>;

// Splits `text` at every byte of `delimiters`. Adjacent delimiters give an
// empty token, a trailing delimiter gives none. A token that begins with `"`
// or `'` runs at least to the matching closing quote (quotes are kept), or to
// the end of the text when there is none.
StringList Tokenize(const std::string& text, const char* delimiters);

// Tokenize with the one delimiter `delimiter`.
StringList SplitString(const std::string& text, char delimiter);

// The elements with `separator` between each two neighbours.
std::string JoinStrings(const StringList& parts, const std::string& separator);
std::string JoinStrings(const StringList& parts, char separator);

// `path` with backslashes only, then written with `separator`: doubled and
// trailing separators collapse, except an empty first or second component,
// which keeps the network prefix `\\`.
std::string NormalizeSeparators(const std::string& path, char separator = '\\');

}  // namespace quill
