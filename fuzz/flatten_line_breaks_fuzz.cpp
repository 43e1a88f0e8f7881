// FlattenLineBreaks: every CR becomes the replacement's first character and
// every LF the rest of it, all else stays; with the two TABs of the dump log
// no line break is left and the line's other text is unchanged.
//
// Input: text NUL replacement. Without a second field the replacement is two
// TABs.
#include "environment/dump_log.h"
#include "fuzz_support.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

std::string ModelFlatten(const std::string& text, const std::string& replacement) {
  std::string flat;
  for (char c : text) {
    if (c == '\r') {
      flat += replacement.substr(0, 1);
    } else if (c == '\n') {
      if (replacement.size() > 1) flat += replacement.substr(1);
    } else {
      flat += c;
    }
  }
  return flat;
}

std::string WithoutAny(const std::string& text, const char* drop) {
  std::string kept;
  for (char c : text) {
    if (std::string(drop).find(c) == std::string::npos) kept += c;
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> fields = quill::fuzz::Fields(data, size);
  const std::string& text = fields[0];
  const std::string replacement = fields.size() > 1 ? fields[1] : std::string("\t\t");

  const std::string flat = quill::FlattenLineBreaks(text, replacement);
  const std::vector<std::string> notes = {
      "text " + Escaped(text), "replacement " + Escaped(replacement), "result " + Escaped(flat)};
  Check(flat == ModelFlatten(text, replacement), "CR and LF are replaced, all else kept", notes);

  std::size_t lineFeeds = 0;
  for (char c : text) lineFeeds += c == '\n' ? 1 : 0;
  if (!replacement.empty()) {
    Check(flat.size() == text.size() + lineFeeds * (replacement.size() - 2),
          "each CR gives one character and each LF the replacement less one", notes);
  }
  if (!replacement.empty() && replacement.find_first_of("\r\n") == std::string::npos) {
    Check(flat.find_first_of("\r\n") == std::string::npos, "no line break is left", notes);
  }

  const std::string tabs = quill::FlattenLineBreaks(text, "\t\t");
  const std::vector<std::string> tabNotes = {"text " + Escaped(text), "result " + Escaped(tabs)};
  Check(tabs.find_first_of("\r\n") == std::string::npos, "a dump line holds no line break",
        tabNotes);
  Check(tabs.size() == text.size(), "with two TABs the length is kept", tabNotes);
  Check(WithoutAny(tabs, "\t") == WithoutAny(text, "\t\r\n"), "the other text is unchanged",
        tabNotes);
  return 0;
}
