// Generated inputs shared by the benchmarks, the same in every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quill::bench {

// A small, fixed pseudo-random sequence, so every run sees the same corpus.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  // Uniform in [0, bound).
  std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(Next() % bound); }

 private:
  std::uint64_t state_;
};

constexpr std::size_t kCorpusSize = 1000000;

// One million Windows paths: drive and network roots, relative paths, mixed
// and doubled separators, trailing separators, names with zero to two dots.
const std::vector<std::string>& WindowsPaths();

// Text of `count` short elements separated by `delimiter`.
std::string DelimitedText(std::size_t count, char delimiter);

}  // namespace quill::bench
