// NormalizeSeparators: the result is that of its three split-and-join steps;
// for paths without quote characters it holds no `/`, no empty component
// after the first two, and the same non-empty components in the same order.
//
// Input: path NUL separator (first byte). Without a second field it is `\`.
#include "fuzz_support.h"
#include "paths/tokenize.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;
using quill::fuzz::ModelJoin;
using quill::fuzz::ModelTokenize;

std::string ModelNormalize(const std::string& path, char separator) {
  const std::string backslashed = ModelJoin(ModelTokenize(path, "\\"), "\\");
  const std::string converted = ModelJoin(ModelTokenize(backslashed, "/"), "\\");
  const std::vector<std::string> parts = ModelTokenize(converted, "\\");
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i < 2 || !parts[i].empty()) kept.push_back(parts[i]);
  }
  return ModelJoin(kept, std::string(1, separator));
}

std::vector<std::string> NonEmptyComponents(const std::string& path,
                                            const std::string& separators) {
  std::vector<std::string> components(1);
  for (char c : path) {
    if (separators.find(c) != std::string::npos) {
      components.emplace_back();
    } else {
      components.back() += c;
    }
  }
  std::vector<std::string> kept;
  for (const std::string& component : components) {
    if (!component.empty()) kept.push_back(component);
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> fields = quill::fuzz::Fields(data, size);
  const std::string& path = fields[0];
  const char separator = fields.size() > 1 && !fields[1].empty() ? fields[1][0] : '\\';

  const std::string normal = quill::NormalizeSeparators(path, separator);
  const std::vector<std::string> notes = {
      "path " + Escaped(path), "separator " + Escaped(std::string(1, separator)),
      "result " + Escaped(normal), "expected " + Escaped(ModelNormalize(path, separator))};
  Check(normal == ModelNormalize(path, separator), "the result is that of the three steps", notes);
  if (separator == '\\') {
    Check(normal == quill::NormalizeSeparators(path), "the separator defaults to \\", notes);
  }
  if (quill::fuzz::HasQuote(path)) return 0;

  const std::string backslashed = separator == '\\' ? normal : quill::NormalizeSeparators(path);
  Check(backslashed.find('/') == std::string::npos, "no / is left", notes);
  const std::vector<std::string> components = quill::fuzz::PlainSplit(backslashed, '\\');
  for (std::size_t i = 2; i < components.size(); ++i) {
    Check(!components[i].empty(), "no empty component after the first two", notes);
  }
  Check(NonEmptyComponents(backslashed, "\\") == NonEmptyComponents(path, "\\/"),
        "the non-empty components are kept, in order", notes);
  if (separator != '\\' && path.find(separator) == std::string::npos) {
    std::string rewritten = backslashed;
    for (char& c : rewritten) {
      if (c == '\\') c = separator;
    }
    Check(normal == rewritten, "another separator only changes how the result is written", notes);
  }
  return 0;
}
