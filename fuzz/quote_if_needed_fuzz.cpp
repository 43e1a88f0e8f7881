// QuoteIfNeeded: the text comes back as it is or in one pair of double
// quotes, exactly when it holds a splitting character and is not enclosed in
// quotes already; quoting twice quotes once; and a quoted path without quote
// characters and without a trailing backslash reaches the converter as one
// argument, split by the Windows rules.
//
// Input: the text.
#include "fuzz_support.h"
#include "launcher/converter_launch.h"
#include "platform/command_line.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = quill::fuzz::Fields(data, size)[0];

  const std::string quoted = quill::QuoteIfNeeded(text);
  const std::vector<std::string> notes = {"text " + Escaped(text), "result " + Escaped(quoted)};
  const bool needsQuotes = text.find_first_of(",\t \r\n") != std::string::npos;
  const bool enclosed = text.size() >= 2 && text.front() == text.back() &&
                        (text.front() == '"' || text.front() == '\'');
  if (needsQuotes && !enclosed) {
    Check(quoted == "\"" + text + "\"", "a text that would split gets double quotes", notes);
  } else {
    Check(quoted == text, "a text that would not split, or is enclosed, stays", notes);
  }
  Check(quill::QuoteIfNeeded(quoted) == quoted, "quoting twice quotes once", notes);

  const bool singleEnclosed = text.size() >= 2 && text.front() == '\'' && text.back() == '\'';
  if (!text.empty() && text.find('"') == std::string::npos && !singleEnclosed &&
      text.back() != '\\') {
    const std::vector<std::string> arguments = quill::platform::SplitCommandLine(quoted);
    Check(
        arguments == std::vector<std::string>{text}, "the converter gets the text as one argument",
        {"text " + Escaped(text), "result " + Escaped(quoted), "arguments " + Escaped(arguments)});
  }
  return 0;
}
