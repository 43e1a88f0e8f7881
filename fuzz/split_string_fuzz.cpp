// SplitString: the same as Tokenize with the one delimiter, and joined again
// with that delimiter it gives the text back, less one trailing delimiter; a
// leading delimiter gives an empty first token and adjacent ones empty tokens.
//
// Input: text NUL delimiter (first byte). Without a second field it is `\`.
#include "fuzz_support.h"
#include "paths/tokenize.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> fields = quill::fuzz::Fields(data, size);
  const std::string& text = fields[0];
  const char delimiter = fields.size() > 1 && !fields[1].empty() ? fields[1][0] : '\\';
  const std::string delimiterText(1, delimiter);

  const quill::StringList parts = quill::SplitString(text, delimiter);
  const std::string joined = quill::JoinStrings(parts, delimiter);
  const std::vector<std::string> notes = {"text " + Escaped(text),
                                          "delimiter " + Escaped(delimiterText),
                                          "parts " + Escaped(parts), "joined " + Escaped(joined)};
  Check(parts == quill::Tokenize(text, delimiterText.c_str()),
        "SplitString is Tokenize with the one-character set", notes);
  Check(parts == quill::fuzz::ModelTokenize(text, delimiterText),
        "the parts are those of the cursor walk", notes);

  // Whatever the quotes do, the join is the text or the text less its last
  // character, and that character is then the delimiter.
  const bool keptWhole = joined == text;
  const bool lostTrailing =
      !text.empty() && text.back() == delimiter && joined == text.substr(0, text.size() - 1);
  Check(keptWhole || lostTrailing, "the join is the text, less at most one trailing delimiter",
        notes);

  if (!quill::fuzz::HasQuote(text)) {
    std::string expected = text;
    if (!expected.empty() && expected.back() == delimiter) expected.pop_back();
    Check(joined == expected, "without quotes the join drops exactly a trailing delimiter", notes);
    // A split with no rule but the delimiter, less the empty part after a
    // trailing delimiter and the one part of the empty text.
    quill::StringList plain = quill::fuzz::PlainSplit(text, delimiter);
    if (text.empty() || text.back() == delimiter) plain.pop_back();
    Check(parts == plain, "without quotes every delimiter splits, empty parts kept", notes);
  }
  return 0;
}
