// quill-report on a work folder of 100,000 files: 50,000 inputs, each with
// its output, in runs of ten cycles, with one dump file of failure entries.
// Prints Google Benchmark's JSON; tools/bench turns it into a table row.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "environment/time_format.h"
#include "report/report.h"

namespace {

namespace fs = std::filesystem;

constexpr int kInputs = 50'000;

struct Folder {
  std::string work;
  std::string dump;
};

// Made once: inputs 3.5 s apart in runs of ten, a minute between runs, each
// output 3.2 s after its input, the newest run ending now.
const Folder& BenchFolder() {
  static const Folder folder = [] {
    const fs::path root = fs::temp_directory_path() / "quill_bench" / "report";
    fs::remove_all(root);
    fs::create_directories(root / "work");
    fs::create_directories(root / "dump");
    using namespace std::chrono;
    const auto fileNow = fs::file_time_type::clock::now();
    const std::int64_t nowMs =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const std::int64_t runMs = 9 * 3500 + 60'000;
    const std::int64_t firstMs = nowMs - (kInputs / 10) * runMs;
    std::int64_t lastStartMs = 0;
    for (int i = 0; i < kInputs; ++i) {
      const std::int64_t startMs = firstMs + (i / 10) * runMs + (i % 10) * 3500;
      lastStartMs = startMs;
      // Names need only be unique here; launcher's are the time of day.
      const std::string name = std::to_string(100000 + i) + ".in_";
      for (const auto& [file, ms] : {std::pair{name, startMs}, {name + ".out", startMs + 3200}}) {
        const fs::path path = root / "work" / file;
        std::ofstream{path};
        fs::last_write_time(path, fileNow + milliseconds(ms - nowMs));
      }
    }
    // The newest run's hour: 1,000 refusals inside its cycles.
    std::ofstream dump(root / "dump" / (quill::FormatTime(lastStartMs / 1000, "%m%d_%H") + ".txt"));
    for (int i = 0; i < 1000; ++i) {
      const std::int64_t seconds = lastStartMs / 1000 - 30 + i % 31;
      dump << quill::FormatTime(seconds, "%Y/%m/%d %H:%M:%S")
           << "\tlauncher\tThe specified file was not found.\tFile=\"kestrel\"\r\n";
    }
    return Folder{(root / "work").string(), (root / "dump").string()};
  }();
  return folder;
}

void Report(benchmark::State& state, std::vector<std::string> options) {
  const Folder& folder = BenchFolder();
  options.insert(options.end(), {"--dump-folder", folder.dump, folder.work});
  std::size_t bytes = 0;
  for (auto _ : state) {
    const quill::report::ReportResult result = quill::report::RunReport(options);
    bytes = result.output.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["files"] = 2.0 * kInputs;
  state.counters["output_bytes"] = static_cast<double>(bytes);
}

void BM_ReportLatestRunTable(benchmark::State& state) {
  Report(state, {});
}
void BM_ReportAllRunsJson(benchmark::State& state) {
  Report(state, {"--all", "--json"});
}

BENCHMARK(BM_ReportLatestRunTable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReportAllRunsJson)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
