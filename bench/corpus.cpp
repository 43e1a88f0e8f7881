#include "corpus.h"

namespace quill::bench {
namespace {

constexpr char kNameCharacters[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-";
constexpr const char* kExtensions[] = {"txt", "in_", "out",  "cpp", "h",  "log",
                                       "TXT", "dat", "json", "tar", "gz", "exe"};

std::string Name(Random& random, std::uint32_t shortest, std::uint32_t longest) {
  const std::uint32_t length = shortest + random.Below(longest - shortest + 1);
  std::string name;
  for (std::uint32_t i = 0; i < length; ++i) {
    name += kNameCharacters[random.Below(sizeof kNameCharacters - 1)];
  }
  return name;
}

std::string Separator(Random& random) {
  const std::uint32_t roll = random.Below(100);
  if (roll < 80) return "\\";
  if (roll < 95) return "/";
  return "\\\\";
}

std::string GeneratePath(Random& random) {
  std::string path;
  const std::uint32_t root = random.Below(100);
  if (root < 70) {
    path += static_cast<char>('A' + random.Below(26));
    path += ":\\";
  } else if (root < 80) {
    path += "\\\\" + Name(random, 3, 10) + "\\" + Name(random, 2, 8) + "\\";
  } else if (root < 85) {
    path += "\\";
  }
  const std::uint32_t folders = random.Below(6);
  for (std::uint32_t i = 0; i < folders; ++i) {
    path += Name(random, 1, 12);
    if (random.Below(10) == 0) path += "." + Name(random, 1, 3);
    path += Separator(random);
  }
  const std::uint32_t leaf = random.Below(100);
  if (leaf < 5) return path;  // ends in a separator
  path += Name(random, 1, 16);
  const std::uint32_t dots = leaf < 20 ? 0 : (leaf < 85 ? 1 : 2);
  for (std::uint32_t i = 0; i < dots; ++i) {
    path += '.';
    path += kExtensions[random.Below(sizeof kExtensions / sizeof kExtensions[0])];
  }
  return path;
}

}  // namespace

std::uint64_t Random::Next() {
  // splitmix64
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

const std::vector<std::string>& WindowsPaths() {
  static const std::vector<std::string> paths = [] {
    Random random(20261209);
    std::vector<std::string> generated;
    generated.reserve(kCorpusSize);
    for (std::size_t i = 0; i < kCorpusSize; ++i) generated.push_back(GeneratePath(random));
    return generated;
  }();
  return paths;
}

std::string DelimitedText(std::size_t count, char delimiter) {
  Random random(count);
  std::string text;
  text.reserve(count * 6);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += delimiter;
    text += Name(random, 1, 8);
  }
  return text;
}

}  // namespace quill::bench
