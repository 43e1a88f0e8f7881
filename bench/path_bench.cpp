// Folder, leaf, stem and extension of a path, and NormalizeSeparators, against
// llvm::sys::path with the Windows style on the same generated paths.
#include <benchmark/benchmark.h>
#include <llvm/ADT/SmallString.h>
#include <llvm/Support/Path.h>

#include <cstddef>
#include <string>

#include "corpus.h"
#include "paths/path_strings.h"
#include "paths/tokenize.h"

namespace quill::bench {
namespace {

namespace path = llvm::sys::path;
constexpr path::Style kWindows = path::Style::windows;

// Each iteration takes every path of the corpus once; the figure is per path.
template <typename Operation>
void OverCorpus(benchmark::State& state, Operation operation) {
  const std::vector<std::string>& paths = WindowsPaths();
  std::size_t sink = 0;
  for (auto _ : state) {
    for (const std::string& p : paths) sink += operation(p);
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * paths.size()));
}

// How many paths of the corpus two operations answer differently.
template <typename Ours, typename Theirs>
double Differences(Ours ours, Theirs theirs) {
  std::size_t count = 0;
  for (const std::string& p : WindowsPaths()) {
    if (ours(p) != theirs(p)) ++count;
  }
  return static_cast<double>(count);
}

std::string LlvmNormalized(const std::string& p) {
  llvm::SmallString<256> text(p);
  path::native(text, kWindows);
  path::remove_dots(text, false, kWindows);
  return std::string(text.str());
}

void Folder(benchmark::State& state) {
  OverCorpus(state, [](const std::string& p) { return PathFolder(p).size(); });
}
void LlvmParentPath(benchmark::State& state) {
  static const double differ =
      Differences([](const std::string& p) { return PathFolder(p); },
                  [](const std::string& p) { return path::parent_path(p, kWindows).str(); });
  OverCorpus(state, [](const std::string& p) { return path::parent_path(p, kWindows).size(); });
  state.counters["differ"] = differ;
}

void Leaf(benchmark::State& state) {
  OverCorpus(state, [](const std::string& p) { return PathLeaf(p).size(); });
}
void LlvmFilename(benchmark::State& state) {
  static const double differ =
      Differences([](const std::string& p) { return PathLeaf(p); },
                  [](const std::string& p) { return path::filename(p, kWindows).str(); });
  OverCorpus(state, [](const std::string& p) { return path::filename(p, kWindows).size(); });
  state.counters["differ"] = differ;
}

void Stem(benchmark::State& state) {
  OverCorpus(state, [](const std::string& p) { return PathStem(p).size(); });
}
void LlvmStem(benchmark::State& state) {
  static const double differ =
      Differences([](const std::string& p) { return PathStem(p); },
                  [](const std::string& p) { return path::stem(p, kWindows).str(); });
  OverCorpus(state, [](const std::string& p) { return path::stem(p, kWindows).size(); });
  state.counters["differ"] = differ;
}

void Extension(benchmark::State& state) {
  OverCorpus(state, [](const std::string& p) { return PathExtension(p).size(); });
}
void LlvmExtension(benchmark::State& state) {
  // llvm keeps the dot in front of the extension; ours leaves it out.
  static const double differ =
      Differences([](const std::string& p) { return PathExtension(p); },
                  [](const std::string& p) {
                    const llvm::StringRef e = path::extension(p, kWindows);
                    return e.empty() ? std::string() : e.drop_front().str();
                  });
  OverCorpus(state, [](const std::string& p) { return path::extension(p, kWindows).size(); });
  state.counters["differ"] = differ;
}

void Normalize(benchmark::State& state) {
  OverCorpus(state, [](const std::string& p) { return NormalizeSeparators(p, '\\').size(); });
}
void LlvmNativeRemoveDots(benchmark::State& state) {
  static const double differ =
      Differences([](const std::string& p) { return NormalizeSeparators(p, '\\'); },
                  [](const std::string& p) { return LlvmNormalized(p); });
  OverCorpus(state, [](const std::string& p) {
    llvm::SmallString<256> text(p);
    path::native(text, kWindows);
    path::remove_dots(text, false, kWindows);
    return text.size();
  });
  state.counters["differ"] = differ;
}

}  // namespace

BENCHMARK(Folder)->Name("folder/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(LlvmParentPath)->Name("folder/peer")->Unit(benchmark::kMillisecond);
BENCHMARK(Leaf)->Name("leaf/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(LlvmFilename)->Name("leaf/peer")->Unit(benchmark::kMillisecond);
BENCHMARK(Stem)->Name("stem/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(LlvmStem)->Name("stem/peer")->Unit(benchmark::kMillisecond);
BENCHMARK(Extension)->Name("extension/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(LlvmExtension)->Name("extension/peer")->Unit(benchmark::kMillisecond);
BENCHMARK(Normalize)->Name("normalize/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(LlvmNativeRemoveDots)->Name("normalize/peer")->Unit(benchmark::kMillisecond);

}  // namespace quill::bench
