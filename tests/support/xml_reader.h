// A small, strict reader of XML for the tests: elements, attributes and
// character data, with the XML declaration; no comments, CDATA or DTD.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quill::test {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;  // entities replaced
  std::string text;                               // its own character data
  std::vector<XmlElement> children;
};

// The root element of `text`; false when its markup is not well-formed: tags
// that do not balance, attributes without quotes, twice or unseparated,
// unknown entities, or anything after the root. The characters themselves
// are the escaping's business, which has tests of its own.
bool ReadXml(const std::string& text, XmlElement* root);

}  // namespace quill::test
