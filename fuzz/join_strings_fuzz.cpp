// JoinStrings: the elements with one separator between neighbours, also for
// lists long enough to be joined in chunks; the one-character form agrees;
// split at the separator the join gives the elements back when neither they
// nor the separator hold quotes, they hold no separator and the last is not
// empty.
//
// Input: control byte, separator NUL element NUL element ... The control
// byte repeats the element list up to 300 times to reach long lists.
#include "fuzz_support.h"
#include "paths/tokenize.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

constexpr std::size_t kMaxElements = 2000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned repeat = 1 + (data[0] % 16) * 20;
  std::vector<std::string> fields = quill::fuzz::Fields(data + 1, size - 1);
  const std::string separator = fields[0];
  const std::vector<std::string> pattern(fields.begin() + 1, fields.end());
  quill::StringList elements;
  for (unsigned r = 0; r < repeat && elements.size() + pattern.size() <= kMaxElements; ++r) {
    elements.insert(elements.end(), pattern.begin(), pattern.end());
  }

  const std::string joined = quill::JoinStrings(elements, separator);
  const std::string expected = quill::fuzz::ModelJoin(elements, separator);
  const std::vector<std::string> notes = {
      "separator " + Escaped(separator), "elements " + Escaped(pattern),
      "repeated " + std::to_string(elements.size() / (pattern.empty() ? 1 : pattern.size())) +
          " times",
      "joined size " + std::to_string(joined.size()),
      "expected size " + std::to_string(expected.size())};
  Check(joined == expected, "the join is the elements with a separator between neighbours", notes);

  if (separator.size() == 1) {
    Check(quill::JoinStrings(elements, separator[0]) == joined,
          "the one-character form agrees with the string form", notes);
    const char c = separator[0];
    bool splittable = (elements.empty() || !elements.back().empty()) && c != '"' && c != '\'';
    for (const std::string& element : elements) {
      splittable =
          splittable && element.find(c) == std::string::npos && !quill::fuzz::HasQuote(element);
    }
    if (splittable) {
      Check(quill::SplitString(joined, c) == elements,
            "split at the separator, the join gives the elements back", notes);
    }
  }
  return 0;
}
