#include "progress/number_text.h"

#include <algorithm>

namespace quill {

std::string NumberText(std::uint32_t value, int base, int width) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  const std::uint32_t radix = static_cast<std::uint32_t>(std::clamp(base, 2, 36));

  std::string text;
  do {
    text.push_back(kDigits[value % radix]);
    value /= radix;
  } while (value != 0);
  if (width > 0 && static_cast<std::size_t>(width) > text.size()) {
    text.append(static_cast<std::size_t>(width) - text.size(), '0');
  }
  std::reverse(text.begin(), text.end());
  return text;
}

std::string EncloseInPair(const std::string& text, char open) {
  char close = open;
  switch (open) {
    case '(':
      close = ')';
      break;
    case '<':
      close = '>';
      break;
    case '[':
      close = ']';
      break;
    case '{':
      close = '}';
      break;
    default:
      break;
  }
  std::string result;
  result.reserve(text.size() + 2);
  result.push_back(open);
  result.append(text);
  result.push_back(close);
  return result;
}

}  // namespace quill
