// Program-level measurements, written as JSON to standard output:
//
//   program_bench starts <bin folder> <samples>
//     times starts of the minimal static C program and of kestrel runs that
//     end without output (each less its 500 ms sleep);
//   program_bench launcher <bin folder>
//     runs launcher once, polling /proc every 50 ms for zombie children, and
//     reports its wall time, CPU time and peak resident memory;
//   program_bench purge <bin folder>
//     times the first dump entry of a process (the one that purges old
//     files) with 100,000 old names of another user in the hour files'
//     folder, and with none, each in a process of its own (as a second user
//     when run as root), and reports the time and the peak resident memory.
//
// Linux only: it reads /proc and the resource usage of waited-for children.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "environment/dump_log.h"
#include "environment/handoff_names.h"
#include "platform/testing.h"

namespace platform = quill::platform;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kKestrelIdleSleepMs = 500.0;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// CPU time of all waited-for children so far, in milliseconds.
double ChildrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 +
         usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0;
}

double TimedRun(const std::string& program, const std::string& parameters,
                const std::string& errorFile = std::string()) {
  const Clock::time_point start = Clock::now();
  platform::RunAndWait(program, parameters, errorFile);
  return Milliseconds(Clock::now() - start);
}

// One timed start: its wall time less `sleepMs`, and the CPU time it used.
struct Sample {
  std::vector<double> wall;
  std::vector<double> cpu;
  void Run(const std::string& program, const std::string& parameters, double sleepMs = 0) {
    const double cpuBefore = ChildrenCpuMs();
    wall.push_back(TimedRun(program, parameters) - sleepMs);
    cpu.push_back(ChildrenCpuMs() - cpuBefore);
  }
};

// Waits until kestrel, started now, reads a second not divisible by 3 and
// cannot cross into one that is before it reads the clock.
void WaitForIdleSecond() {
  for (;;) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
    const auto fraction = std::chrono::duration_cast<std::chrono::milliseconds>(now).count() % 1000;
    if (seconds % 3 == 1 || (seconds % 3 == 2 && fraction < 900)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void PrintSeries(const char* name, const Sample& sample) {
  const std::vector<double>& values = sample.wall;
  std::printf(
      "  \"%s\": {\"median_ms\": %.4f, \"min_ms\": %.4f, \"cpu_median_ms\": %.4f, "
      "\"samples\": %zu},\n",
      name, Median(values), values.empty() ? 0.0 : *std::min_element(values.begin(), values.end()),
      Median(sample.cpu), values.size());
}

int Starts(const std::string& bin, int samples) {
  namespace fs = std::filesystem;
  const std::string reference = bin + "/exit_at_once";
  const std::string kestrel = bin + "/kestrel";
  const std::string kestrelStatic = bin + "/kestrel_static";
  const std::string kestrelSharedCxx = bin + "/kestrel_shared_cxx";
  const fs::path scratch = fs::temp_directory_path() / "quill_bench" / "starts";
  fs::create_directories(scratch);
  const std::string input = (scratch / "000000.in_").string();

  const std::string setlocaleOnly = bin + "/setlocale_only";
  Sample referenceRuns, setlocaleRuns, kestrelRuns, kestrelStaticRuns, kestrelSharedCxxRuns,
      kestrelBareRuns;
  for (int i = 0; i < 20; ++i) TimedRun(reference, "");  // warm the page cache
  TimedRun(setlocaleOnly, "");
  TimedRun(kestrel, "");
  TimedRun(kestrelStatic, "");
  TimedRun(kestrelSharedCxx, "");
  for (int i = 0; i < samples; ++i) {
    // The references run next to each kestrel sample so all see the same load.
    for (int k = 0; k < 3; ++k) referenceRuns.Run(reference, "");
    setlocaleRuns.Run(setlocaleOnly, "");
    kestrelBareRuns.Run(kestrel, "");
    WaitForIdleSecond();
    kestrelRuns.Run(kestrel, input, kKestrelIdleSleepMs);
    WaitForIdleSecond();
    kestrelStaticRuns.Run(kestrelStatic, input, kKestrelIdleSleepMs);
    WaitForIdleSecond();
    kestrelSharedCxxRuns.Run(kestrelSharedCxx, input, kKestrelIdleSleepMs);
  }
  bool outputMade = false;
  for (const auto& entry : fs::directory_iterator(scratch)) {
    if (entry.path().string() != input) outputMade = true;
  }
  std::printf("{\n");
  PrintSeries("exit_at_once", referenceRuns);
  PrintSeries("setlocale_only", setlocaleRuns);
  PrintSeries("kestrel_no_output_less_sleep", kestrelRuns);
  PrintSeries("kestrel_static_no_output_less_sleep", kestrelStaticRuns);
  PrintSeries("kestrel_shared_cxx_no_output_less_sleep", kestrelSharedCxxRuns);
  PrintSeries("kestrel_without_argument", kestrelBareRuns);
  std::printf("  \"output_made\": %s\n}\n", outputMade ? "true" : "false");
  return 0;
}

// ---- launcher -------------------------------------------------------------------

struct ProcStat {
  int pid = 0;
  char state = '?';
  int parent = 0;
};

// The fields of /proc/<pid>/stat after the command name, which may hold blanks.
bool ReadStat(const std::string& file, ProcStat* out) {
  std::ifstream in(file);
  std::string text;
  if (!std::getline(in, text)) return false;
  const std::size_t open = text.find('(');
  const std::size_t close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos) return false;
  out->pid = std::atoi(text.c_str());
  std::istringstream rest(text.substr(close + 2));
  rest >> out->state >> out->parent;
  return true;
}

std::vector<ProcStat> AllProcesses() {
  std::vector<ProcStat> processes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    ProcStat stat;
    if (ReadStat(entry.path().string() + "/stat", &stat)) processes.push_back(stat);
  }
  return processes;
}

long PeakResidentKiB(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

int Launcher(const std::string& bin) {
  ProcStat self;
  ReadStat("/proc/self/stat", &self);
  const std::string errorFile =
      (std::filesystem::temp_directory_path() / "quill_bench" / "launcher_stderr.txt").string();
  std::filesystem::create_directories(std::filesystem::path(errorFile).parent_path());

  std::atomic<bool> done{false};
  double wallMs = 0;
  std::thread runner([&] {
    // The progress line goes to a file, not to the terminal of the run.
    wallMs = TimedRun(bin + "/launcher", "", errorFile);
    done = true;
  });

  int launcherPid = 0;
  long peakKiB = 0;
  int polls = 0, zombiePolls = 0, zombiesSeen = 0, mostChildren = 0;
  while (!done) {
    const std::vector<ProcStat> processes = AllProcesses();
    if (launcherPid == 0) {
      for (const ProcStat& p : processes) {
        if (p.parent == self.pid) launcherPid = p.pid;
      }
    }
    if (launcherPid != 0) {
      int zombies = 0, children = 0;
      for (const ProcStat& p : processes) {
        if (p.parent != launcherPid) continue;
        ++children;
        if (p.state == 'Z') ++zombies;
      }
      ++polls;
      if (zombies > 0) ++zombiePolls;
      zombiesSeen = std::max(zombiesSeen, zombies);
      mostChildren = std::max(mostChildren, children);
      peakKiB = std::max(peakKiB, PeakResidentKiB(launcherPid));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  runner.join();

  // Only launcher itself was waited for: the converters it starts are reaped
  // by the kernel, so these are launcher's own figures.
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const double cpuMs = usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 +
                       usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0;
  std::printf(
      "{\n  \"wall_ms\": %.1f,\n  \"cpu_ms\": %.1f,\n  \"user_ms\": %.1f,\n  \"system_ms\": %.1f,\n"
      "  \"peak_rss_kib\": %ld,\n  \"peak_rss_polled_kib\": %ld,\n  \"polls\": %d,\n"
      "  \"polls_with_zombies\": %d,\n  \"most_zombies\": %d,\n  \"most_children\": %d\n}\n",
      wallMs, cpuMs, usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0,
      usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0, usage.ru_maxrss, peakKiB,
      polls, zombiePolls, zombiesSeen, mostChildren);
  return 0;
}

// ---- The purge among another user's names ----------------------------------

constexpr int kPlantedNames = 100'000;
constexpr unsigned kSecondUser = 4242;
constexpr unsigned kPlanter = 65534;

// One first entry with the shared documents folder at `base`, timed in this
// process: its milliseconds and this process's peak resident memory.
int PurgeChild(const std::string& base) {
  if (getuid() == 0) platform::BecomeUserForTesting(kSecondUser);
  platform::ScopedSharedDocuments documents(base);
  const Clock::time_point start = Clock::now();
  quill::WriteDumpEntry(std::string("one entry"));
  const double ms = Milliseconds(Clock::now() - start);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.2f %ld\n", ms, usage.ru_maxrss);
  return 0;
}

int Purge(const std::string& bin) {
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / "quill_bench" / "purge";
  std::filesystem::remove_all(scratch);
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 20);
  std::string figures = "{";
  for (const int planted : {0, kPlantedNames}) {
    const std::string base = (scratch / std::to_string(planted)).string();
    std::filesystem::create_directories(base);
    {
      // The shared levels, made as the programs make them, then the plants.
      platform::ScopedSharedDocuments documents(base);
      quill::WriteDumpEntry(std::string("the tree"));
    }
    std::filesystem::permissions(base, std::filesystem::perms::all);
    const std::string wz = base + "/Temp/Temp/DbgDump/" + quill::handoff::kDumpFileLevel;
    for (int i = 0; i < planted; ++i) {
      const std::string name = wz + "/old-" + std::to_string(i) + ".txt";
      std::ofstream(name).put('x');
      std::filesystem::last_write_time(name, old);
      if (getuid() == 0 && lchown(name.c_str(), kPlanter, kPlanter) != 0) return 1;
    }
    std::vector<double> ms, kib;
    const std::string out = (scratch / "child.txt").string();
    for (int run = 0; run < 5; ++run) {
      platform::RunAndWait(bin + "/program_bench", "purge-child " + base, std::string(), out);
      std::ifstream in(out);
      double runMs = 0, runKiB = 0;
      in >> runMs >> runKiB;
      ms.push_back(runMs);
      kib.push_back(runKiB);
    }
    figures += std::string(planted == 0 ? "" : ", ") + "\"" + std::to_string(planted) +
               "\": {\"ms\": " + std::to_string(Median(ms)) +
               ", \"peak_rss_kib\": " + std::to_string(Median(kib)) + "}";
  }
  std::printf("%s}\n", figures.c_str());
  std::filesystem::remove_all(scratch);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const std::string bin = argc > 2 ? argv[2] : ".";
  if (mode == "starts") return Starts(bin, argc > 3 ? std::atoi(argv[3]) : 15);
  if (mode == "launcher") return Launcher(bin);
  if (mode == "purge") return Purge(bin);
  if (mode == "purge-child") return PurgeChild(bin);
  std::fprintf(stderr, "usage: program_bench starts|launcher|purge <bin folder> [samples]\n");
  return 2;
}
