// FreeFileName against the bare existence tests it makes, and one dump record
// against a bare open, write and close of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "environment/directory_tree.h"
#include "environment/dump_log.h"
#include "kestrel/free_file_name.h"
#include "paths/path_strings.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/testing.h"
#include "progress/number_text.h"

namespace quill::bench {
namespace {

constexpr int kTakenSerials = 999;  // with the wanted name: 1000 names taken

std::string ScratchFolder(const char* name) {
  return (std::filesystem::temp_directory_path() / "quill_bench" / name).string();
}

// `a.txt` and `a.000.txt` to `a.998.txt` exist: the answer is `a.999.txt`,
// found by the 1001st existence test.
const std::string& TakenNamesFolder() {
  static const std::string folder = [] {
    const std::string base = ScratchFolder("free_name");
    CreateEmptyFile(base + "\\a.txt");
    for (int i = 0; i < kTakenSerials; ++i) {
      CreateEmptyFile(base + "\\a." + NumberText(static_cast<std::uint32_t>(i), 10, 3) + ".txt");
    }
    platform::RemoveFile((base + "\\a.999.txt").c_str());
    return base;
  }();
  return folder;
}

void FreeName(benchmark::State& state) {
  const std::string wanted = TakenNamesFolder() + "\\a.txt";
  if (FreeFileName(wanted) != TakenNamesFolder() + "\\a.999.txt") {
    state.SkipWithError("the scratch folder is not as expected");
    return;
  }
  for (auto _ : state) {
    std::string name = FreeFileName(wanted);
    benchmark::DoNotOptimize(name.data());
  }
}

void BareExistence(benchmark::State& state) {
  std::vector<std::string> names = {TakenNamesFolder() + "\\a.txt"};
  for (int i = 0; i <= kTakenSerials; ++i) {
    names.push_back(TakenNamesFolder() + "\\a." + NumberText(static_cast<std::uint32_t>(i), 10, 3) +
                    ".txt");
  }
  for (auto _ : state) {
    std::size_t found = 0;
    for (const std::string& name : names)
      found += platform::QueryStatus(name.c_str(), platform::StatusOf::kAnyName, nullptr) == 0;
    benchmark::DoNotOptimize(found);
  }
  state.counters["calls"] = static_cast<double>(names.size());
}

// ---- Dump record --------------------------------------------------------------

const std::string kRecord =
    "2026/12/09 01:23:45\tkestrel\tCan't create C:\\Users\\Public\\Documents\\Temp\\x\r\n";

const std::string& DumpBase() {
  static const std::string base = [] {
    const std::string folder = ScratchFolder("dump");
    CreateDirectoryTree(folder);
    static platform::ScopedSharedDocuments sharedDocuments(folder);
    // The first record of a process also queues old files; that is not the
    // steady cost of a record.
    WriteDumpRecord(kRecord);
    return folder;
  }();
  return base;
}

void DumpRecord(benchmark::State& state) {
  DumpBase();
  for (auto _ : state) benchmark::DoNotOptimize(WriteDumpRecord(kRecord));
}

void DumpEntry(benchmark::State& state) {
  DumpBase();
  for (auto _ : state) {
    benchmark::DoNotOptimize(WriteDumpEntry(std::string("Can't create C:\\x\\y")));
  }
}

void BareAppend(benchmark::State& state) {
  const std::string path = DumpBase() + "\\Temp\\Temp\\DbgDump\\WZ\\bare.txt";
  std::string systemPath = path;
  if (!platform::kWindows) {
    for (char& c : systemPath) {
      if (c == '\\') c = '/';
    }
  }
  for (auto _ : state) {
    std::FILE* file = std::fopen(systemPath.c_str(), "ab");
    std::fwrite(kRecord.data(), 1, kRecord.size(), file);
    std::fclose(file);
  }
}

}  // namespace

BENCHMARK(FreeName)->Name("free_name/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(BareExistence)->Name("free_name/peer")->Unit(benchmark::kMicrosecond);
BENCHMARK(DumpRecord)->Name("dump_record/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(BareAppend)->Name("dump_record/peer")->Unit(benchmark::kMicrosecond);
BENCHMARK(DumpEntry)->Name("dump_entry/ours")->Unit(benchmark::kMicrosecond);

}  // namespace quill::bench
