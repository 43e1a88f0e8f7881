// MatchesPattern against glibc fnmatch, and Tokenize, SplitString and
// JoinStrings against the same operations written plainly, at one and ten
// million elements.
#include <benchmark/benchmark.h>
#include <fnmatch.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "corpus.h"
#include "filetree/folder_listing.h"
#include "paths/tokenize.h"

namespace quill::bench {
namespace {

// Patterns that mean the same to both matchers: `*` and plain characters only.
const std::vector<std::string> kPatterns = {"*.txt",   "*.*",     "*a*b*", "data*",
                                            "*1*.log", "x*y.in_", "*",     "*.TAR.gz"};
constexpr std::size_t kMatchPaths = 200000;

template <typename Matcher>
void OverPatterns(benchmark::State& state, Matcher matches) {
  const std::vector<std::string>& paths = WindowsPaths();
  std::size_t sink = 0;
  for (auto _ : state) {
    for (const std::string& pattern : kPatterns) {
      for (std::size_t i = 0; i < kMatchPaths; ++i) sink += matches(paths[i], pattern);
    }
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(
      static_cast<std::int64_t>(state.iterations() * kPatterns.size() * kMatchPaths));
}

// The name after the last separator, as MatchesPattern takes it.
const char* LeafOf(const std::string& path) {
  const char* backslash = std::strrchr(path.c_str(), '\\');
  if (backslash != nullptr) return backslash + 1;
  const char* slash = std::strrchr(path.c_str(), '/');
  return slash != nullptr ? slash + 1 : path.c_str();
}

bool Fnmatch(const std::string& path, const std::string& pattern) {
  return fnmatch(pattern.c_str(), LeafOf(path), FNM_CASEFOLD) == 0;
}

void Matches(benchmark::State& state) {
  OverPatterns(state, [](const std::string& p, const std::string& pattern) {
    return MatchesPattern(p, pattern);
  });
}
void FnmatchCasefold(benchmark::State& state) {
  static const double differ = [] {
    std::size_t count = 0;
    for (const std::string& pattern : kPatterns) {
      for (std::size_t i = 0; i < kMatchPaths; ++i) {
        const std::string& p = WindowsPaths()[i];
        if (MatchesPattern(p, pattern) != Fnmatch(p, pattern)) ++count;
      }
    }
    return static_cast<double>(count);
  }();
  OverPatterns(state, Fnmatch);
  state.counters["differ"] = differ;
}

// ---- Tokenize, SplitString, JoinStrings -------------------------------------

StringList PlainTokenize(const std::string& text, const char* delimiters) {
  StringList tokens;
  std::size_t cursor = 0;
  for (;;) {
    const std::size_t at = text.find_first_of(delimiters, cursor);
    if (at == std::string::npos) break;
    tokens.push_back(text.substr(cursor, at - cursor));
    cursor = at + 1;
  }
  if (cursor < text.size()) tokens.push_back(text.substr(cursor));
  return tokens;
}

StringList PlainSplit(const std::string& text, char delimiter) {
  StringList tokens;
  std::size_t cursor = 0;
  for (;;) {
    const std::size_t at = text.find(delimiter, cursor);
    if (at == std::string::npos) break;
    tokens.push_back(text.substr(cursor, at - cursor));
    cursor = at + 1;
  }
  if (cursor < text.size()) tokens.push_back(text.substr(cursor));
  return tokens;
}

std::string PlainJoin(const StringList& parts, char separator) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += separator;
    joined += parts[i];
  }
  return joined;
}

// Texts of 1 and 10 million elements, made once; alternating `\` and `/`
// for Tokenize, `\` only for SplitString and JoinStrings.
const std::string& Text(std::size_t count, bool mixed) {
  static std::string texts[4];
  std::string& text = texts[(count > 1000000 ? 2 : 0) + (mixed ? 1 : 0)];
  if (text.empty()) {
    text = DelimitedText(count, '\\');
    if (mixed) {
      bool slash = false;
      for (char& c : text) {
        if (c == '\\') {
          if (slash) c = '/';
          slash = !slash;
        }
      }
    }
  }
  return text;
}

// Every large block comes fresh from the system and goes back when freed, so
// that each iteration, at either size, builds its result in fresh pages as a
// single call in a program does. Left to itself glibc keeps a block of up to
// 32 MiB for the next iteration but maps anything larger anew each time: a
// million elements would run warm and ten million cold, and the scaling
// figure would mostly measure that difference.
void StartCold() {
  static const bool fixed = mallopt(M_MMAP_THRESHOLD, 128 * 1024) == 1;
  (void)fixed;
  malloc_trim(0);
}

// Minor page faults of this process so far: touches of fresh pages.
double PageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_minflt);
}

template <typename Split>
void SplitBench(benchmark::State& state, bool mixed, Split split) {
  const std::size_t count = static_cast<std::size_t>(state.range(0));
  const std::string& text = Text(count, mixed);
  StartCold();
  const double faultsBefore = PageFaults();
  for (auto _ : state) {
    StringList tokens = split(text);
    benchmark::DoNotOptimize(tokens.data());
    state.PauseTiming();
    tokens = StringList();  // freeing ten million strings is not the operation
    StartCold();
    state.ResumeTiming();
  }
  state.counters["faults"] =
      (PageFaults() - faultsBefore) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

void TokenizeOurs(benchmark::State& state) {
  SplitBench(state, true, [](const std::string& t) { return Tokenize(t, "\\/"); });
}
void TokenizePlain(benchmark::State& state) {
  SplitBench(state, true, [](const std::string& t) { return PlainTokenize(t, "\\/"); });
}
void SplitOurs(benchmark::State& state) {
  SplitBench(state, false, [](const std::string& t) { return SplitString(t, '\\'); });
}
void SplitPlain(benchmark::State& state) {
  SplitBench(state, false, [](const std::string& t) { return PlainSplit(t, '\\'); });
}

template <typename Join>
void JoinBench(benchmark::State& state, Join join) {
  const std::size_t count = static_cast<std::size_t>(state.range(0));
  const StringList parts = PlainSplit(Text(count, false), '\\');
  StartCold();
  const double faultsBefore = PageFaults();
  for (auto _ : state) {
    std::string joined = join(parts);
    benchmark::DoNotOptimize(joined.data());
    state.PauseTiming();
    joined = std::string();
    StartCold();
    state.ResumeTiming();
  }
  state.counters["faults"] =
      (PageFaults() - faultsBefore) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

void JoinOurs(benchmark::State& state) {
  JoinBench(state, [](const StringList& parts) { return JoinStrings(parts, '\\'); });
}
void JoinPlain(benchmark::State& state) {
  JoinBench(state, [](const StringList& parts) { return PlainJoin(parts, '\\'); });
}

}  // namespace

BENCHMARK(Matches)->Name("match/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(FnmatchCasefold)->Name("match/peer")->Unit(benchmark::kMillisecond);

#define QUILL_SCALED(function, name) \
  BENCHMARK(function)->Name(name)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)
QUILL_SCALED(TokenizeOurs, "tokenize/ours");
QUILL_SCALED(TokenizePlain, "tokenize/peer");
QUILL_SCALED(SplitOurs, "split/ours");
QUILL_SCALED(SplitPlain, "split/peer");
QUILL_SCALED(JoinOurs, "join/ours");
QUILL_SCALED(JoinPlain, "join/peer");

}  // namespace quill::bench
