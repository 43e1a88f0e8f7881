#include "report/visible_text.h"

#include <cstddef>
#include <cstdio>

namespace quill::report {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool IsControl(unsigned char c) {
  return (c < 0x20 && c != '\t') || c == 0x7F;
}

// A byte from 0x80 to 0x9F outside a UTF-8 sequence: a C1 control to a
// terminal that reads 8-bit controls.
bool IsEightBitControl(unsigned char c) {
  return c >= 0x80 && c <= 0x9F;
}

void AppendEscape(std::string* out, unsigned char c) {
  char escape[5];
  std::snprintf(escape, sizeof escape, "\\x%02x", c);
  out->append(escape, 4);
}

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence of at least two bytes at
// `at`, with its code point; 0 when the bytes there are no such sequence
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t MultibyteLength(const std::string& text, std::size_t at, char32_t* point) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[at + i]);
    if (!IsContinuation(c)) return 0;
    value = (value << 6) | (c & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *point = value;
  return length;
}

}  // namespace

std::string TerminalText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char32_t point = 0;
    const std::size_t length = c < 0x80 ? 0 : MultibyteLength(text, i, &point);
    if (length > 0 && point <= 0x9F) {
      AppendEscape(&out, c);
      AppendEscape(&out, static_cast<unsigned char>(text[i + 1]));
    } else if (length > 0) {
      out.append(text, i, length);
    } else if (IsControl(c) || IsEightBitControl(c)) {
      AppendEscape(&out, c);
    } else {
      out.push_back(static_cast<char>(c));
    }
    i += length > 0 ? length : 1;
  }
  return out;
}

std::string XmlText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        default:
          if (IsControl(c)) {
            AppendEscape(&out, c);
          } else {
            out.push_back(static_cast<char>(c));
          }
      }
      ++i;
      continue;
    }
    char32_t point = 0;
    const std::size_t length = MultibyteLength(text, i, &point);
    if (length == 0 || point == 0xFFFE || point == 0xFFFF) {
      // The system's code page need not be UTF-8: one replacement per byte
      // keeps the text's length readable.
      out += kReplacement;
      i += length == 0 ? 1 : length;
    } else if (point <= 0x9F) {
      AppendEscape(&out, c);
      AppendEscape(&out, static_cast<unsigned char>(text[i + 1]));
      i += 2;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

}  // namespace quill::report
