// The POSIX backend's command-line splitter: the arguments, quoted back by
// the Windows rules (QuoteArgument) and joined with blanks, split to the same
// arguments; any single argument survives QuoteArgument; a parameter string
// without quotes or backslashes splits at its blanks and tabs only.
//
// Input: parameter string NUL extra argument.
#include "fuzz_support.h"
#include "platform/command_line.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;
using quill::platform::QuoteArgument;
using quill::platform::SplitCommandLine;

std::vector<std::string> SplitAtBlanks(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::string QuotedLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) line += ' ';
    line += QuoteArgument(arguments[i]);
  }
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> fields = quill::fuzz::Fields(data, size);
  const std::string& parameters = fields[0];

  const std::vector<std::string> arguments = SplitCommandLine(parameters);
  const std::string line = QuotedLine(arguments);
  const std::vector<std::string> again = SplitCommandLine(line);
  Check(again == arguments, "the arguments quoted back split to the same arguments",
        {"parameters " + Escaped(parameters), "arguments " + Escaped(arguments),
         "quoted back " + Escaped(line), "split again " + Escaped(again)});

  if (parameters.find_first_of("\"\\") == std::string::npos) {
    Check(arguments == SplitAtBlanks(parameters),
          "without quotes or backslashes blanks and tabs alone separate",
          {"parameters " + Escaped(parameters), "arguments " + Escaped(arguments)});
  }

  for (std::size_t i = 1; i < fields.size(); ++i) {
    const std::string quoted = QuoteArgument(fields[i]);
    const std::vector<std::string> single = SplitCommandLine(quoted);
    Check(single == std::vector<std::string>{fields[i]}, "one quoted argument splits to itself",
          {"argument " + Escaped(fields[i]), "quoted " + Escaped(quoted),
           "split " + Escaped(single)});
    if (!fields[i].empty() && fields[i].find_first_of(" \t\"") == std::string::npos) {
      Check(quoted == fields[i], "an argument that needs no quotes gets none",
            {"argument " + Escaped(fields[i]), "quoted " + Escaped(quoted)});
    }
  }
  return 0;
}
