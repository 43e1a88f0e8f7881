// Tokenize: the tokens are those of the walk described for it (quoted tokens
// shield their delimiters), and together with the delimiters that ended them
// they give the text back, less at most one trailing delimiter.
//
// Input: text NUL delimiter set. Without a second field the set is "\/".
#include "fuzz_support.h"
#include "paths/tokenize.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> fields = quill::fuzz::Fields(data, size);
  const std::string& text = fields[0];
  const std::string delimiters = fields.size() > 1 ? fields[1] : std::string("\\/");

  const quill::StringList tokens = quill::Tokenize(text, delimiters.c_str());
  const quill::StringList expected = quill::fuzz::ModelTokenize(text, delimiters);
  const std::vector<std::string> notes = {
      "text " + Escaped(text), "delimiters " + Escaped(delimiters), "tokens " + Escaped(tokens),
      "expected " + Escaped(expected)};
  Check(tokens == expected, "the tokens are those of the cursor walk", notes);
  Check(tokens.empty() == text.empty(), "only the empty text gives no tokens", notes);

  // Each token is followed in the text by one delimiter, except a last token
  // that runs to the end; so the tokens and those delimiters cover the text.
  std::size_t at = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    Check(text.compare(at, tokens[i].size(), tokens[i]) == 0, "each token stands where it ends",
          notes);
    at += tokens[i].size();
    if (at < text.size()) {
      Check(delimiters.find(text[at]) != std::string::npos, "a delimiter follows each token",
            notes);
      ++at;
    } else {
      Check(i + 1 == tokens.size(), "only the last token may end the text", notes);
    }
  }
  Check(at == text.size(), "the tokens and their delimiters cover the text", notes);

  // Without quote characters no token holds a delimiter, and the count is the
  // delimiter count plus one, less one for a trailing delimiter.
  if (!quill::fuzz::HasQuote(text) && !text.empty()) {
    std::size_t delimiterCount = 0;
    for (char c : text) delimiterCount += delimiters.find(c) != std::string::npos ? 1 : 0;
    const bool trailing = delimiters.find(text.back()) != std::string::npos;
    Check(tokens.size() == delimiterCount + 1 - (trailing ? 1 : 0),
          "without quotes every delimiter ends a token", notes);
    for (const std::string& token : tokens) {
      Check(token.find_first_of(delimiters) == std::string::npos,
            "without quotes no token holds a delimiter", notes);
    }
  }
  return 0;
}
