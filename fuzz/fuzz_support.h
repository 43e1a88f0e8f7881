// Helpers shared by the fuzz targets: taking the input apart into texts,
// reporting a broken property, and plain models of the text operations to
// compare the library against.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace quill::fuzz {

// The input split at its NUL bytes. Strings in this system hold no NUL, so
// the NUL is free to separate a target's arguments; a missing argument is
// absent from the list.
inline std::vector<std::string> Fields(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      fields.emplace_back();
    } else {
      fields.back() += static_cast<char>(data[i]);
    }
  }
  return fields;
}

// `text` with unprintable bytes, quotes and backslashes escaped, for failure
// messages that can be pasted into a C string.
inline std::string Escaped(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  bool afterHex = false;
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    // A hex escape would swallow a following hex digit: end the literal there.
    if (afterHex && std::isxdigit(byte)) out += "\"\"";
    afterHex = false;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte >= 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
      afterHex = true;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

inline std::string Escaped(const std::vector<std::string>& list) {
  std::string out = "{";
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i > 0) out += ", ";
    out += Escaped(list[i]);
  }
  return out + "}";
}

// Names the broken property and the values involved, then aborts so that
// libFuzzer keeps the input as a crash artifact.
[[noreturn]] inline void Fail(const char* property, const std::vector<std::string>& notes) {
  std::printf("\nPROPERTY BROKEN: %s\n", property);
  for (const std::string& note : notes) std::printf("  %s\n", note.c_str());
  std::fflush(stdout);
  std::abort();
}

inline void Check(bool holds, const char* property, const std::vector<std::string>& notes) {
  if (!holds) Fail(property, notes);
}

// Tokenizing exactly as described for `Tokenize`: a cursor walks the text; a
// token that opens with a quote runs past its closing quote before the next
// delimiter is sought, and an unclosed one ends the walk; the rest after the
// walk is the last token when it is not empty.
inline std::vector<std::string> ModelTokenize(const std::string& text,
                                              const std::string& delimiters) {
  auto isDelimiter = [&](char c) { return delimiters.find(c) != std::string::npos; };
  auto findDelimiter = [&](std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
      if (isDelimiter(text[i])) return i;
    }
    return std::string::npos;
  };
  std::vector<std::string> tokens;
  std::size_t cursor = 0;
  for (;;) {
    std::size_t delimiter;
    const char c = cursor < text.size() ? text[cursor] : '\0';
    if (c == '"' || c == '\'') {
      const std::size_t closing = text.find(c, cursor + 1);
      if (closing == std::string::npos) break;
      delimiter = findDelimiter(closing + 1);
    } else {
      delimiter = findDelimiter(cursor);
    }
    if (delimiter == std::string::npos) break;
    tokens.push_back(text.substr(cursor, delimiter - cursor));
    cursor = delimiter + 1;
  }
  if (cursor < text.size()) tokens.push_back(text.substr(cursor));
  return tokens;
}

inline std::string ModelJoin(const std::vector<std::string>& parts, const std::string& separator) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += separator;
    joined += parts[i];
  }
  return joined;
}

// Splitting at every occurrence of `delimiter` with no other rule: n
// delimiters always give n + 1 parts, empty ones included.
inline std::vector<std::string> PlainSplit(const std::string& text, char delimiter) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == delimiter) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

inline bool HasQuote(const std::string& text) {
  return text.find_first_of("\"'") != std::string::npos;
}

inline bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

inline bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

}  // namespace quill::fuzz
