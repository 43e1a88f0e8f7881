// Text that comes from files and file names, made safe to show: nothing in
// it may steer a terminal or break the XML of the picture.
#pragma once

#include <string>

namespace quill::report {

// `text` for a terminal: each control byte (below 0x20 but TAB, and 0x7F),
// each byte of a C1 control in UTF-8 (U+0080 to U+009F, which terminals obey
// too) and each byte from 0x80 to 0x9F that belongs to no well-formed UTF-8
// sequence (a C1 control in 8 bits) written as `\xHH`; every other byte as
// it is.
std::string TerminalText(const std::string& text);

// `text` as XML character data in UTF-8: `&`, `<`, `>` and `"` as entities,
// controls written as TerminalText writes them, and each byte that does not
// belong to well-formed UTF-8, or a character XML 1.0 forbids, as U+FFFD.
std::string XmlText(const std::string& text);

}  // namespace quill::report
