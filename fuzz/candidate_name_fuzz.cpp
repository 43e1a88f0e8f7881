// The numbered names that FreeFileName tries: PathWithoutExtension, a dot,
// the three-digit serial and the extension again. The name lies in the path's
// folder, its leaf is the stem followed by ".NNN" or ".NNN.ext", and its own
// stem and extension come out as expected. NumberText is checked on its own
// for any value, base and width.
//
// Input: path NUL serial bytes NUL value bytes, base byte, width byte.
#include "fuzz_support.h"
#include "kestrel/free_file_name.h"
#include "paths/path_strings.h"
#include "progress/number_text.h"

namespace {

using quill::fuzz::Check;
using quill::fuzz::Escaped;

std::uint32_t LittleEndian(const std::string& bytes, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count && i < bytes.size(); ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

// The name FreeFileName tries for `serial`.
std::string Candidate(const std::string& path, std::uint32_t serial) {
  const std::string extension = quill::PathExtension(path);
  std::string candidate =
      quill::PathWithoutExtension(path) + "." + quill::NumberText(serial, 10, 3);
  if (!extension.empty()) candidate += "." + extension;
  return candidate;
}

void CheckCandidate(const std::string& path, std::uint32_t serial) {
  const std::string candidate = Candidate(path, serial);
  const std::string stem = quill::PathStem(path);
  const std::string extension = quill::PathExtension(path);
  const std::string folder = quill::PathFolder(path);
  const std::string number = quill::NumberText(serial, 10, 3);
  const std::vector<std::string> notes = {"path " + Escaped(path),
                                          "serial " + std::to_string(serial),
                                          "candidate " + Escaped(candidate)};

  Check(number.size() == 3 && number.find_first_not_of("0123456789") == std::string::npos &&
            std::stoul(number) == serial,
        "the serial is three decimal digits", notes);
  if (!folder.empty()) {
    Check(quill::PathWithoutExtension(path) == quill::AddTrailingSeparator(folder, '\\') + stem,
          "PathWithoutExtension is the folder with a separator and the stem", notes);
  }

  const std::string tail = "." + number + (extension.empty() ? "" : "." + extension);
  Check(candidate == quill::PathWithoutExtension(path) + tail &&
            quill::fuzz::EndsWith(candidate, tail),
        "the name ends in .NNN or .NNN.ext", notes);
  Check(candidate != path, "a candidate is never the wanted path", notes);

  const bool hasSeparator = path.find_first_of("\\/") != std::string::npos;
  if (!hasSeparator) {
    // A bare name's folder is "\", so its candidates lie in the root folder.
    Check(candidate == "\\" + stem + tail, "a bare name's candidates lie in the root folder",
          notes);
    return;
  }
  if (folder.empty()) {
    // The file lies in the root folder (\a.txt): the candidate must stay
    // there and not become a name relative to the current folder.
    Check(candidate.find_first_of("\\/") == 0 && quill::PathLeaf(candidate) == stem + tail,
          "a root file's candidates lie in the root folder", notes);
    return;
  }
  if (folder.back() == '\\' || folder.back() == '/') {
    // Doubled separators before the file name: one of them is left out.
    Check(quill::fuzz::StartsWith(candidate, folder) &&
              candidate.size() == folder.size() + stem.size() + tail.size(),
          "the candidate is the folder, the stem and the tail", notes);
    return;
  }
  Check(quill::PathFolder(candidate) == folder, "the folder is unchanged", notes);
  Check(quill::PathLeaf(candidate) == stem + tail, "the leaf is the stem, .NNN and .ext", notes);
  Check(quill::PathExtension(candidate) == (extension.empty() ? number : extension),
        "the extension stays, or the serial becomes it", notes);
  Check(quill::PathStem(candidate) == (extension.empty() ? stem : stem + "." + number),
        "the stem gains the serial when there is an extension", notes);
}

void CheckNumberText(std::uint32_t value, int base, int width) {
  const std::string text = quill::NumberText(value, base, width);
  const int radix = base < 2 ? 2 : base > 36 ? 36 : base;
  const std::vector<std::string> notes = {
      "value " + std::to_string(value), "base " + std::to_string(base),
      "width " + std::to_string(width), "text " + Escaped(text)};
  static const std::string kDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::uint64_t parsed = 0;
  for (char c : text) {
    const std::size_t digit = kDigits.find(c);
    Check(digit != std::string::npos && static_cast<int>(digit) < radix,
          "only digits of the clamped base", notes);
    parsed = parsed * static_cast<std::uint64_t>(radix) + digit;
    Check(parsed <= value, "the digits never exceed the value", notes);
  }
  Check(parsed == value, "the text reads back as the value", notes);
  Check(!text.empty() &&
            (text.size() == 1 || text[0] != '0' || static_cast<int>(text.size()) <= width),
        "leading zeros only as padding", notes);
  Check(width <= 0 || static_cast<int>(text.size()) >= width, "padded to the width", notes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> fields = quill::fuzz::Fields(data, size);
  const std::string& path = fields[0];
  const std::uint32_t serial = fields.size() > 1 ? LittleEndian(fields[1], 2) % 1000 : 0;
  CheckCandidate(path, serial);
  CheckCandidate(path, 999);

  if (fields.size() > 2) {
    const std::string& number = fields[2];
    const int base = number.size() > 4 ? static_cast<signed char>(number[4]) : 10;
    const int width = number.size() > 5 ? static_cast<signed char>(number[5]) % 40 : 3;
    CheckNumberText(LittleEndian(number, 4), base, width);
  }
  return 0;
}
