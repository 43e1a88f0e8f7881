// MatchesPattern: the answer is that of the piece-by-piece match described
// for it; it looks only at the name after the last separator, ignores case,
// every name matches itself taken as a pattern, and one more `*` in a pattern
// without quotes never turns a match into a miss.
//
// Input: path NUL pattern [NUL position byte for the added `*`].
#include "filetree/folder_listing.h"
#include "fuzz_support.h"
#include "paths/path_strings.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

std::string ModelLeaf(const std::string& path) {
  std::size_t separator = path.find_last_of('\\');
  if (separator == std::string::npos) separator = path.find_last_of('/');
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The match in the "C" locale: the pieces between the stars must occur in
// order; a pattern that does not begin (end) with a star pins the first (last)
// piece to the name's start (end).
bool ModelMatches(const std::string& path, const std::string& pattern) {
  const std::string name = AsciiLower(ModelLeaf(path));
  const std::string pat = AsciiLower(pattern);
  if (pat.empty() || pat == "*") return true;
  if (pat == "*.*") return name.find('.') != std::string::npos;
  std::vector<std::string> pieces;
  for (const std::string& token : quill::fuzz::ModelTokenize(pat, "*")) {
    if (!token.empty()) pieces.push_back(token);
  }
  std::string rest = name;
  for (const std::string& piece : pieces) {
    const std::size_t at = rest.find(piece);
    if (at == std::string::npos) return false;
    rest = rest.substr(at + piece.size());
  }
  if (pieces.empty()) return true;
  if (pat.front() != '*' && !quill::fuzz::StartsWith(name, pieces.front())) return false;
  if (pat.back() != '*' && !quill::fuzz::EndsWith(name, pieces.back())) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> fields = quill::fuzz::Fields(data, size);
  const std::string& path = fields[0];
  const std::string pattern = fields.size() > 1 ? fields[1] : std::string("*.txt");
  const std::size_t starAt =
      fields.size() > 2 && !fields[2].empty() ? static_cast<unsigned char>(fields[2][0]) : 0;

  const bool matches = quill::MatchesPattern(path, pattern);
  const std::string leaf = quill::PathLeaf(path);
  const std::vector<std::string> notes = {"path " + Escaped(path), "pattern " + Escaped(pattern),
                                          std::string("result ") + (matches ? "true" : "false")};
  Check(matches == ModelMatches(path, pattern), "the answer is that of the piece-by-piece match",
        notes);
  if (pattern.empty() || pattern == "*") Check(matches, "the empty pattern and * match all", notes);
  Check(quill::MatchesPattern("folder\\" + leaf, pattern) == matches,
        "only the name after the last separator counts", notes);
  Check(quill::MatchesPattern(AsciiUpper(path), AsciiLower(pattern)) == matches &&
            quill::MatchesPattern(AsciiLower(path), AsciiUpper(pattern)) == matches,
        "case is ignored", notes);
  Check(quill::MatchesPattern(path, leaf), "a name matches itself taken as a pattern", notes);

  if (matches && !quill::fuzz::HasQuote(pattern)) {
    std::string wider = pattern;
    wider.insert(std::min(starAt, wider.size()), 1, '*');
    Check(quill::MatchesPattern(path, wider), "one more * keeps a match",
          {"path " + Escaped(path), "pattern " + Escaped(pattern), "wider " + Escaped(wider)});
  }
  return 0;
}
