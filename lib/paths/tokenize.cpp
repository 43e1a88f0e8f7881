#include "paths/tokenize.h"

#include <array>

namespace quill {
namespace {

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

// A byte table of the delimiter set keeps each scan linear in the text.
class DelimiterSet {
 public:
  explicit DelimiterSet(const char* delimiters) {
    for (const char* d = delimiters; d != nullptr && *d != '\0'; ++d) {
      member_[static_cast<unsigned char>(*d)] = true;
    }
  }

  std::size_t CountIn(const std::string& text) const {
    std::size_t count = 0;
    for (const char c : text) count += member_[static_cast<unsigned char>(c)];
    return count;
  }

  std::size_t FindIn(const std::string& text, std::size_t from) const {
    for (std::size_t i = from; i < text.size(); ++i) {
      if (member_[static_cast<unsigned char>(text[i])]) return i;
    }
    return std::string::npos;
  }

 private:
  std::array<bool, 256> member_{};
};

// NormalizeSeparators for a path without quote characters, in one pass: the
// three split-and-join steps then come down to dropping one trailing `\`,
// then one trailing `/`, and joining the components, of which only the first
// two are kept when empty.
std::string NormalizeUnquoted(const std::string& path, char separator) {
  std::size_t end = path.size();
  if (end > 0 && path[end - 1] == '\\') --end;
  if (end > 0 && path[end - 1] == '/') --end;
  std::string result;
  result.reserve(end);
  std::size_t index = 0;
  std::size_t kept = 0;
  const auto take = [&](std::size_t from, std::size_t to) {
    if (index++ >= 2 && from == to) return;
    if (kept++ > 0) result += separator;
    result.append(path, from, to - from);
  };
  std::size_t cursor = 0;
  for (std::size_t i = 0; i < end; ++i) {
    if (path[i] == '\\' || path[i] == '/') {
      take(cursor, i);
      cursor = i + 1;
    }
  }
  if (cursor < end) take(cursor, end);
  return result;
}

}  // namespace

StringList Tokenize(const std::string& text, const char* delimiters) {
  const DelimiterSet set(delimiters);
  StringList tokens;
  // At most one token per delimiter and one after the last: one allocation.
  tokens.reserve(set.CountIn(text) + 1);
  std::size_t cursor = 0;
  while (cursor <= text.size()) {
    std::size_t delimiter = std::string::npos;
    if (cursor < text.size() && IsQuote(text[cursor])) {
      const std::size_t closing = text.find(text[cursor], cursor + 1);
      if (closing == std::string::npos) break;
      delimiter = set.FindIn(text, closing + 1);
    } else {
      delimiter = set.FindIn(text, cursor);
    }
    if (delimiter == std::string::npos) break;
    tokens.push_back(text.substr(cursor, delimiter - cursor));
    cursor = delimiter + 1;
  }
  if (cursor < text.size()) tokens.push_back(text.substr(cursor));
  return tokens;
}

StringList SplitString(const std::string& text, char delimiter) {
  const char delimiters[2] = {delimiter, '\0'};
  return Tokenize(text, delimiters);
}

std::string JoinStrings(const StringList& parts, const std::string& separator) {
  if (parts.empty()) return std::string();
  std::size_t length = separator.size() * (parts.size() - 1);
  for (const std::string& part : parts) length += part.size();
  std::string joined;
  joined.reserve(length);
  joined += parts.front();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    joined += separator;
    joined += parts[i];
  }
  return joined;
}

std::string JoinStrings(const StringList& parts, char separator) {
  return JoinStrings(parts, std::string(1, separator));
}

std::string NormalizeSeparators(const std::string& path, char separator) {
  if (path.find_first_of("\"'") == std::string::npos) return NormalizeUnquoted(path, separator);
  // Each step goes through Tokenize, so a quoted stretch is shielded from it.
  const std::string backslashed = JoinStrings(SplitString(path, '\\'), '\\');
  const std::string converted = JoinStrings(SplitString(backslashed, '/'), '\\');
  const StringList parts = SplitString(converted, '\\');
  StringList kept;
  kept.reserve(parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    // The first two parts stay even when empty: they carry the network prefix.
    if (i < 2 || !parts[i].empty()) kept.push_back(parts[i]);
  }
  return JoinStrings(kept, separator);
}

}  // namespace quill
