#include "support/xml_reader.h"

#include <cctype>
#include <cstring>

namespace quill::testing {
namespace {

// Well-formed UTF-8 holding only characters that XML 1.0 allows.
bool IsXmlCharacters(const std::string& text) {
  static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || text.size() - i < length) return false;
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = point << 6 | (next & 0x3F);
    }
    if ((point < 0x20 && point != '\t' && point != '\n' && point != '\r') ||
        point < kLeast[length] || (point >= 0xD800 && point <= 0xDFFF) || point == 0xFFFE ||
        point == 0xFFFF || point > 0x10FFFF) {
      return false;
    }
    i += length;
  }
  return true;
}

struct Reader {
  const std::string& text;
  std::size_t at = 0;

  bool Take(const char* expected) {
    if (text.compare(at, std::strlen(expected), expected) != 0) return false;
    at += std::strlen(expected);
    return true;
  }
  bool SkipSpace() {
    const std::size_t from = at;
    while (at < text.size() && std::strchr(" \t\r\n", text[at]) != nullptr) ++at;
    return at > from;
  }
  bool Name(std::string* name) {
    const std::size_t from = at;
    while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) ||
                                std::strchr("-_:.", text[at]) != nullptr)) {
      ++at;
    }
    *name = text.substr(from, at - from);
    return !name->empty() && std::isalpha(static_cast<unsigned char>(name->front()));
  }
  // Character data up to `end`, its entities replaced; a `<` is refused.
  bool Data(char end, std::string* out) {
    static const char* const kEntities[][2] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}};
    while (at < text.size() && text[at] != end && text[at] != '<') {
      if (text[at] != '&') {
        out->push_back(text[at++]);
        continue;
      }
      bool known = false;
      for (const auto& entity : kEntities) {
        if (Take(entity[0])) {
          *out += entity[1];
          known = true;
        }
      }
      if (!known) return false;
    }
    return at < text.size();
  }
  bool Element(XmlElement* element) {
    if (!Take("<") || !Name(&element->name)) return false;
    for (;;) {
      const bool spaced = SkipSpace();
      if (Take("/>")) return true;
      if (Take(">")) break;
      std::string name, value;
      if (!spaced || !Name(&name) || !Take("=\"") || !Data('"', &value) || !Take("\"") ||
          !element->attributes.emplace(name, value).second) {
        return false;
      }
    }
    while (!Take("</")) {
      if (at < text.size() && text[at] == '<') {
        if (!Element(&element->children.emplace_back())) return false;
      } else if (!Data('<', &element->text)) {
        return false;
      }
    }
    std::string end;
    if (!Name(&end) || end != element->name) return false;
    SkipSpace();
    return Take(">");
  }
};

}  // namespace

bool ReadXml(const std::string& text, XmlElement* root) {
  *root = XmlElement();
  if (!IsXmlCharacters(text)) return false;
  Reader reader{text};
  if (reader.Take("<?xml ")) {
    reader.at = text.find("?>");
    if (reader.at == std::string::npos) return false;
    reader.at += 2;
  }
  reader.SkipSpace();
  if (!reader.Element(root)) return false;
  reader.SkipSpace();
  return reader.at == text.size();
}

}  // namespace quill::testing
