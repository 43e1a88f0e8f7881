#include "support/xml_reader.h"

#include <cctype>
#include <cstring>

namespace quill::test {
namespace {

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

}  // namespace quill::test
