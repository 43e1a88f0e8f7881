// Real processes under load, hostile parameters, held dump files, and the
// processes a start leaves behind, on the real clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "environment/dump_log.h"
#include "environment/handoff_names.h"
#include "environment/time_format.h"
#include "launcher/converter_launch.h"
#include "launcher/cycles.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/testing.h"
#include "progress/progress_indicator.h"
#include "support/child_process.h"
#include "support/fake_services.h"
#include "support/path_helpers.h"
#include "support/plants.h"
#include "support/programs.h"
#include "support/scoped_environment.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

// Runs a disabled test of this binary in a process of its own, waiting for it.
int RunChildTest(const std::string& test, const std::string& arguments) {
  return platform::RunAndWait(ModulePath(),
                              "--gtest_also_run_disabled_tests --gtest_brief=1 "
                              "--gtest_filter=" +
                                  test + " " + arguments);
}

// Waits up to `seconds` of real time for a file to appear.
bool AwaitFile(const std::string& path, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (test::Exists(path)) return true;
    platform::System().Sleep(50);
  }
  return test::Exists(path);
}

// ---- POSIX process table --------------------------------------------------

struct ProcessInfo {
  long pid = 0;
  long parent = 0;
  char state = '?';
  std::string name;
};

std::vector<ProcessInfo> Processes() {
  std::vector<ProcessInfo> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    ProcessInfo info;
    info.pid = std::atol(line.c_str());
    info.name = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 1));
    rest >> info.state >> info.parent;
    found.push_back(info);
  }
  return found;
}

long OwnPid() {
  std::ifstream stat("/proc/self/stat");
  long pid = 0;
  stat >> pid;
  return pid;
}

// The "SigIgn" and "SigBlk" masks of a process, as hex text.
std::pair<std::string, std::string> SignalMasks(long pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line, ignored, blocked;
  while (std::getline(status, line)) {
    if (line.rfind("SigIgn:", 0) == 0) ignored = line.substr(line.find_first_not_of(" \t", 7));
    if (line.rfind("SigBlk:", 0) == 0) blocked = line.substr(line.find_first_not_of(" \t", 7));
  }
  return {ignored, blocked};
}

// ---- Load -------------------------------------------------------------------

TEST(Load, ManyConvertersOnOneInputEndWellAndLeaveOnlyTheirNames) {
  test::ScratchFolder scratch;
  const std::string input = scratch.Join("083015.in_");
  const int processes = platform::kWindows ? 8 : 20;
  // Start them in a second that decides for output, as a launcher's would. A
  // loaded machine can take longer than that second to start them all (Wine
  // above all); then none decides for output and the batch is started again.
  for (int batch = 0; batch < 3 && fs::is_empty(scratch.Path()); ++batch) {
    std::int64_t second = platform::System().CalendarTime();
    while (platform::System().CalendarTime() == second ||
           platform::System().CalendarTime() % 3 != 0) {
      platform::System().Sleep(5);
    }
    std::vector<int> statuses(processes, -1);
    std::vector<std::thread> runners;
    for (int i = 0; i < processes; ++i) {
      runners.emplace_back([&statuses, &input, i] {
        statuses[i] =
            platform::RunAndWait(test::ProgramBesideTests("kestrel"), QuoteIfNeeded(input));
      });
    }
    for (std::thread& runner : runners) runner.join();
    for (int status : statuses) EXPECT_EQ(status, 0);
  }

  std::set<std::string> allowed = {"083015.in_.out"};
  for (int i = 0; i < 1000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "083015.in_.%03d.out", i);
    allowed.insert(name);
  }
  int outputs = 0;
  for (const auto& entry : fs::directory_iterator(scratch.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(allowed.count(name), 1u) << name;
    EXPECT_EQ(fs::file_size(entry.path()), 0u) << name;
    ++outputs;
  }
  EXPECT_GE(outputs, 1);
  EXPECT_LE(outputs, processes);
}

// ---- A missing converter ------------------------------------------------------

// The fake clock, so a hundred polls take no time, with the real process start
// of this system.
class FakeClockRealStarts : public test::FakeServices {
 public:
  platform::ShellResult ExecuteShellRequest(const platform::ShellRequest& request) override {
    FakeServices::ExecuteShellRequest(request);
    return platform::RealServices().ExecuteShellRequest(request);
  }
};

// Run by the test below in a copy of this binary that has no converter beside it.
TEST(MissingConverter, DISABLED_TenCycles) {
  const std::string base = test::ChildArgument("dump-base");
  if (base.empty()) return;
  platform::ScopedSharedDocuments sharedDocuments(base);
  FakeClockRealStarts services;
  RunCycles();
  std::ofstream(base + "/starts.txt") << services.starts.size();
}

TEST(MissingConverter, EveryRefusedStartIsRecordedAndTheCyclesEnd) {
  test::ScratchFolder scratch;
  const std::string copy =
      scratch.MakeFolder("bin") + (platform::kWindows ? "\\" : "/") + PathLeaf(ModulePath());
  fs::copy_file(ModulePath(), copy);
  const std::string missing =
      AddTrailingSeparator(PathFolder(copy), '\\') + "kestrel" + platform::kProgramSuffix;
  if (FindProgram(missing) != missing) GTEST_SKIP() << "a converter is installed system-wide";
  const std::string base = scratch.MakeFolder("dump");
  test::ScopedEnvironmentValue tmp("TMP", scratch.MakeFolder("tmp").c_str());

  EXPECT_EQ(platform::RunAndWait(copy,
                                 "--gtest_also_run_disabled_tests --gtest_brief=1 "
                                 "--gtest_filter=MissingConverter.DISABLED_TenCycles "
                                 "\"--dump-base=" +
                                     base + "\""),
            0);
  EXPECT_EQ(test::ReadWholeFile(base + "/starts.txt"), "1010");
  int refusals = 0;
  const std::string expected = "\tThe specified file was not found.\tOperation=\"\"\tFile=\"" +
                               missing + "\"\tParamaters=\"";
  for (const auto& entry : fs::directory_iterator(fs::path(base) / "Temp/Temp/DbgDump/WZ")) {
    std::istringstream lines(test::ReadWholeFile(entry.path().string()));
    for (std::string line; std::getline(lines, line);) {
      if (line.find(expected) != std::string::npos) ++refusals;
    }
  }
  EXPECT_EQ(refusals, 1010);
}

// ---- Hostile parameters -------------------------------------------------------

// Started through the shell by the test below: writes each argument it got
// after the test framework's own, one per record, to the file it is told.
TEST(ArgumentEcho, DISABLED_Write) {
  const std::string target = platform::EnvironmentValue("QUILL_ECHO_FILE");
  if (target.empty()) return;
  std::string record;
  const auto& arguments = ::testing::internal::GetArgvs();
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i].rfind("--gtest_", 0) == 0) continue;
    record += arguments[i];
    record.push_back('\0');
  }
  const std::string partial = target + ".part";
  std::ofstream(partial, std::ios::binary) << record;
  std::rename(partial.c_str(), target.c_str());
}

// Each input is started as the Windows runtime would split the plain quoting
// of it, and as the launcher starts the converter, which on POSIX brings the
// whole path as one argument whatever it holds.
TEST(HostileInput, ReachesTheProgramAsTheWindowsRuntimeSplitsIt) {
  test::ScratchFolder scratch;
  const std::string marker = scratch.Join("shell-ran");
  const std::vector<std::string> inputs = {
      scratch.Path() + "\\$(touch " + marker + ").in_",
      scratch.Path() + "\\a;touch " + marker + "|b.in_",
      scratch.Path() + "\\`touch " + marker + "`.in_",
      scratch.Path() + "\\q\"uo\"te's.in_",
      scratch.Path() + "\\tab\there and\nline\rbreak.in_",
      scratch.Path() + "\\back\\\\\"slash\\",
      scratch.Path() + "\\a \"b & it's > <\\120000.in_",
  };
  std::vector<std::pair<std::string, bool>> rounds;  // an input, started as the launcher does
  for (const std::string& input : inputs) {
    rounds.push_back({input, false});
    // As the launcher starts it too, wherever the plain quoting does not
    // bring the path back whole on POSIX (names with double quotes).
    const bool splitsWhole =
        platform::SplitCommandLine(QuoteIfNeeded(input)) == std::vector<std::string>{input};
    if (!platform::kWindows && !splitsWhole) rounds.push_back({input, true});
  }
  int round = 0;
  for (const auto& [input, asLauncher] : rounds) {
    const std::string echo = scratch.Join("echo" + std::to_string(round++));
    platform::SetEnvironmentValue("QUILL_ECHO_FILE", echo.c_str());
    const std::string parameters =
        "--gtest_also_run_disabled_tests --gtest_brief=1 "
        "--gtest_filter=ArgumentEcho.DISABLED_Write " +
        (asLauncher ? ConverterParameters(input) : QuoteIfNeeded(input));
    const std::string self = ModulePath();
    platform::ShellRequest request;
    request.file = self.c_str();
    request.parameters = parameters.c_str();
    EXPECT_GT(platform::RealServices().ExecuteShellRequest(request), 32u);
    ASSERT_TRUE(AwaitFile(echo, 30)) << input;
    std::vector<std::string> expected;
    for (const std::string& argument : platform::SplitCommandLine(parameters)) {
      if (argument.rfind("--gtest_", 0) != 0) expected.push_back(argument);
    }
    if (asLauncher) expected = {input};
    std::vector<std::string> received;
    std::string content = test::ReadWholeFile(echo);
    for (std::size_t start = 0, end; (end = content.find('\0', start)) != std::string::npos;
         start = end + 1) {
      received.push_back(content.substr(start, end - start));
    }
    EXPECT_EQ(received, expected) << input;
  }
  platform::SetEnvironmentValue("QUILL_ECHO_FILE", nullptr);
  EXPECT_FALSE(test::Exists(marker));
}

// ---- A dump file held by another process ------------------------------------

// The file that tells a holder has started.
std::string HeldMarker(const std::string& file) {
  return test::NativeSpelling(file) + ".held";
}

// Holds the file it is told for the time it is told.
TEST(DumpFileHolder, DISABLED_Hold) {
  const std::string file = test::ChildArgument("hold-file");
  const std::string ms = test::ChildArgument("hold-ms");
  if (file.empty() || ms.empty()) return;
  const platform::HoldKind kind = test::ChildArgument("hold-kind") == "lock"
                                      ? platform::HoldKind::kRecordLock
                                      : platform::HoldKind::kOpen;
  std::ofstream(HeldMarker(file)) << "held";
  platform::HoldFileFromWriters(file.c_str(), static_cast<std::uint32_t>(std::stoul(ms)), kind);
}

// Writes one entry while another process holds the hour's dump file; true
// when it was stored. `heldTooLong` is set when the holder's hold did not
// keep this process out at all (POSIX as root ignores permissions).
bool WriteWhileHeld(const std::string& base, std::uint32_t holdMs, std::uint32_t* tookMs,
                    const char* kind = "open") {
  const std::string file =
      handoff::DumpFolder(base) + handoff::HourFileName(platform::System().CalendarTime());
  WriteDumpEntry(std::string("make the file"));
  std::thread holder([&] {
    RunChildTest("DumpFileHolder.DISABLED_Hold", "\"--hold-file=" + file +
                                                     "\" --hold-ms=" + std::to_string(holdMs) +
                                                     " --hold-kind=" + kind);
  });
  EXPECT_TRUE(AwaitFile(HeldMarker(file), 30));
  platform::System().Sleep(200);
  const bool byPermission = !platform::kWindows && std::string(kind) == "open";
  if (byPermission) {  // the hold takes every write permission away
    EXPECT_EQ(fs::status(test::NativeSpelling(file)).permissions() & fs::perms::owner_write,
              fs::perms::none);
  }
  const std::uint32_t start = platform::System().TickCount();
  const bool stored = WriteDumpEntry(std::string("written while held"));
  *tookMs = platform::System().TickCount() - start;
  holder.join();
  if (byPermission) {  // and gives it back
    EXPECT_NE(fs::status(test::NativeSpelling(file)).permissions() & fs::perms::owner_write,
              fs::perms::none);
  }
  platform::RemoveFile(HeldMarker(file).c_str());
  return stored;
}

TEST(DumpFault, RecordWaitsOutAShortHoldAndIsDroppedAfterTenSeconds) {
  test::ScratchFolder scratch;
  platform::ScopedSharedDocuments sharedDocuments(scratch.Path());
  std::uint32_t took = 0;
  EXPECT_TRUE(WriteWhileHeld(scratch.Path(), 2000, &took));
  if (took < 1000) {
    GTEST_SKIP() << "the hold does not keep this user out (root ignores file permissions)";
  }
  EXPECT_LT(took, 4000u);
  EXPECT_FALSE(WriteWhileHeld(scratch.Path(), 12'000, &took));
  EXPECT_GE(took, 9000u);
}

// Anyone who can open the hour file can take its record lock and keep it:
// a record waits a moment for it, then is appended without it, whole.
TEST(DumpFault, RecordLockHeldElsewhereCostsARecordAMomentOnly) {
  test::ScratchFolder scratch;
  platform::ScopedSharedDocuments sharedDocuments(scratch.Path());
  std::uint32_t took = 0;
  // Longer than any open is retried: the record is stored all the same.
  EXPECT_TRUE(WriteWhileHeld(scratch.Path(), 11'000, &took, "lock"));
  EXPECT_GE(took, platform::kRecordLockWaitMs);
  EXPECT_LT(took, 500u);
  const std::string file = handoff::DumpFolder(scratch.Path()) +
                           handoff::HourFileName(platform::System().CalendarTime());
  std::istringstream lines(test::ReadWholeFile(test::NativeSpelling(file)));
  // The header and both records, each a whole line.
  int records = 0;
  for (std::string line; std::getline(lines, line); ++records) EXPECT_EQ(line.back(), '\r');
  EXPECT_EQ(records, 3);
}

// ---- Processes ---------------------------------------------------------------

TEST(Processes, ConverterStartsWithDefaultSignalDispositions) {
  if (platform::kWindows) GTEST_SKIP() << "signal dispositions are a POSIX matter";
  test::ScratchFolder scratch;
  const std::string input = scratch.Join("signals.in_");
  // Ignored and blocked here; the converter gets neither.
  auto previous = std::signal(SIGINT, SIG_IGN);
  ASSERT_TRUE(platform::BlockInterruptForTesting(true));
  const std::string program = test::ProgramBesideTests("kestrel");
  platform::ShellRequest request;
  request.file = program.c_str();
  request.parameters = input.c_str();
  ASSERT_GT(platform::RealServices().ExecuteShellRequest(request), 32u);
  platform::BlockInterruptForTesting(false);
  std::signal(SIGINT, previous);
  const long self = OwnPid();
  bool seen = false;
  for (int i = 0; i < 40 && !seen; ++i) {
    for (const ProcessInfo& process : Processes()) {
      if (process.parent != self || process.name != "kestrel" || process.state == 'Z') continue;
      const auto masks = SignalMasks(process.pid);
      // Nothing inherited; once its entry has run, kestrel ignores broken
      // pipes and the file size limit (signals 13 and 25) itself.
      EXPECT_TRUE(masks.first == "0000000000000000" || masks.first == "0000000001001000")
          << masks.first;
      EXPECT_EQ(masks.second, "0000000000000000");
      seen = true;
    }
    platform::System().Sleep(10);
  }
  EXPECT_TRUE(seen);
}

// Writes to the real error stream: raw bytes, then a progress line and its erasure.
TEST(ErrorStream, DISABLED_Write) {
  if (test::ChildArgument("error-stream").empty()) return;
  platform::System().WriteError(std::string("a\0b", 3));
  ConsoleProgressBar bar;
  bar.Start("wait  ...", 100);
  bar.Step();
  platform::System().Sleep(150);
  bar.Step();
}

TEST(Processes, TheErrorStreamCarriesEveryByteAndTheProgressLine) {
  test::ScratchFolder scratch;
  const std::string errors = scratch.Join("stderr.txt");
  EXPECT_EQ(platform::RunAndWait(ModulePath(),
                                 "--gtest_also_run_disabled_tests --gtest_brief=1 "
                                 "--gtest_filter=ErrorStream.DISABLED_Write --error-stream=1",
                                 errors),
            0);
  const std::string line = "wait  ...    ( 2 / 100 )    ....................\r";
  EXPECT_EQ(test::ReadWholeFile(errors),
            std::string("a\0b", 3) + line + std::string(line.size(), ' ') + "\r");
}

TEST(Processes, BareNamesRunTheFirstProgramOnTheSearchPathAndFailedStartsLeaveNoZombie) {
  if (platform::kWindows) GTEST_SKIP() << "the program search and zombies are POSIX matters";
  test::ScratchFolder scratch;
  const std::string first = scratch.MakeFolder("first");
  const std::string second = scratch.MakeFolder("second");
  // Same name, not executable: passed over by the search, refused by a start.
  const std::string inert = scratch.WriteFile("first/quill-probe", "#!/bin/sh\nexit 3\n");
  const std::string probe = scratch.WriteFile("second/quill-probe", "#!/bin/sh\nexit 7\n");
  fs::permissions(probe, fs::perms::owner_exec, fs::perm_options::add);
  // Programs that earlier tests started may end as zombies while a start
  // waits; only new ones count.
  const auto zombies = [] {
    const auto table = Processes();
    return std::count_if(table.begin(), table.end(), [](const ProcessInfo& process) {
      return process.parent == OwnPid() && process.state == 'Z';
    });
  };
  const auto before = zombies();
  {
    const std::string path = "/nowhere:" + first + ":" + second;
    test::ScopedEnvironmentValue search("PATH", path.c_str());
    EXPECT_EQ(platform::RunAndWait("quill-probe", ""), 7);
    EXPECT_EQ(platform::RunAndWait("quill-probe-missing", ""), -1);
  }
  EXPECT_EQ(platform::RunAndWait(inert, ""), -1);
  EXPECT_LE(zombies(), before);
}

// A FIFO for a program's error stream whose reader goes away as soon as the
// program has opened it, like `2>&1 | true`: every later write of the program
// meets a broken pipe.
class ClosedErrorPipe {
 public:
  explicit ClosedErrorPipe(const test::ScratchFolder& scratch) : path_(scratch.Join("pipe")) {
    EXPECT_TRUE(test::MakePlant(test::Plant::kFifo, path_, ""));
    // Opening the reading end waits for the program to open the writing end.
    reader_ = std::thread([this] { std::ifstream(path_).close(); });
  }
  ~ClosedErrorPipe() { reader_.join(); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::thread reader_;
};

// Neither program may end early when nobody reads its error stream any more.
TEST(Processes, KestrelsRetryLineOnAClosedPipeDoesNotEndIt) {
  if (platform::kWindows) GTEST_SKIP() << "broken pipes end programs on POSIX only";
  test::ScratchFolder scratch;
  // In a /var/tmp of its own whose dump tree cannot be made, kestrel's record
  // of the folder it cannot make waits its 10 s, drawing the retry's line; it
  // does so only in a second divisible by 3, which one of six starts in a row
  // meets; the first that waited ends the loop.
  const std::string script =
      "mount -t tmpfs quill-tmp /var/tmp && : > /var/tmp/Temp || exit 99; "
      "for i in 1 2 3 4 5 6; do start=$(date +%s); '" +
      test::NativeSpelling(test::ProgramBesideTests("kestrel")) +
      "' /var/tmp/Temp/x.in_ || exit $?; [ $(($(date +%s) - start)) -ge 10 ] && exit 0; done; "
      "exit 98";
  ClosedErrorPipe pipe(scratch);
  const int status =
      platform::RunAndWait("/usr/bin/unshare", "-m /bin/sh -c \"" + script + "\"", pipe.Path());
  if (status == 99 || status == -1) GTEST_SKIP() << "no private mount namespace here (root only)";
  EXPECT_EQ(status, 0);
}

// A write past the file size limit fails instead of ending the program: in a
// /var/tmp of its own whose hour file is already past the limit, kestrel
// and launcher drop their records and go on, and quill-report says that its
// output could not be written.
TEST(Processes, TheFileSizeLimitEndsNoProgram) {
  if (platform::kWindows) GTEST_SKIP() << "the file size limit is a POSIX matter";
  const auto program = [](const char* name) {
    return "'" + test::NativeSpelling(test::ProgramBesideTests(name)) + "'";
  };
  const std::string setUp =
      "mount -t tmpfs quill-tmp /var/tmp || exit 99; d=/var/tmp/Temp/Temp/DbgDump/WZ; "
      "mkdir -p $d /var/tmp/w && chmod -R 1777 /var/tmp/Temp && : > /var/tmp/blocker && "
      "head -c 2048 /dev/zero > $d/$(date +%m%d_%H).txt || exit 99; ulimit -f 1; ";
  struct Case {
    const char* name;
    std::string run;
    int status;
  };
  for (const Case& c : {
           // Only a start in a second divisible by 3 writes its record.
           Case{"kestrel",
                "for i in 1 2 3 4 5 6; do s=$(date +%s); " + program("kestrel") +
                    " /var/tmp/blocker/x.in_ || exit $?; [ $(($(date +%s) - s)) -ge 3 ] && "
                    "exit 0; done; exit 98",
                0},
           // Still at work after its first records, so not ended by them.
           Case{"launcher", "TMP=/var/tmp/blocker timeout 5 " + program("launcher"), 124},
           Case{"quill-report",
                "for i in 10 11 12 13 14 15 16 17 18 19; do : > /var/tmp/w/1200$i.in_; done; " +
                    program("quill-report") + " --json /var/tmp/w > /var/tmp/out.json",
                2},
       }) {
    SCOPED_TRACE(c.name);
    const int status =
        platform::RunAndWait("/usr/bin/unshare", "-m /bin/sh -c \"" + setUp + c.run + "\"");
    if (status == 99 || status == -1) GTEST_SKIP() << "no private mount namespace here (root only)";
    EXPECT_EQ(status, c.status);
  }
}

// Started with its standard input closed, the report's first open gets
// descriptor 0, which is a descriptor like any other: the user's private
// folder under /tmp is still taken, and its work folder listed.
TEST(Processes, AReportWithoutStandardInputReadsAsAnyOther) {
  if (platform::kWindows) GTEST_SKIP() << "closed standard streams are a POSIX matter";
  test::ScratchFolder scratch;
  const std::string user = "quill-stdin-" + PathLeaf(scratch.Path());
  const std::string work = "/tmp/" + user + "/r_Quill.tmp/launcher";
  struct RemovedAtEnd {
    std::string path;
    ~RemovedAtEnd() {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  } const cleanUp{"/tmp/" + user};
  fs::create_directories(work);
  fs::permissions("/tmp/" + user, fs::perms::owner_all);
  std::ofstream(work + "/120000.in_").close();
  const std::string script = "env -u TMP -u TMPDIR -u TEMP USER=" + user + " '" +
                             test::NativeSpelling(test::ProgramBesideTests("quill-report")) +
                             "' <&- >'" + scratch.Join("out") + "'";
  EXPECT_EQ(platform::RunAndWait("/bin/sh", "-c " + QuoteIfNeeded(script)), 1);
  EXPECT_EQ(test::ReadWholeFile(scratch.Join("out")).rfind("work folder: " + work + "/\n", 0), 0u)
      << test::ReadWholeFile(scratch.Join("out"));
}

TEST(Processes, AWholeLauncherRunLeavesNoZombie) {
  if (platform::kWindows) GTEST_SKIP() << "zombie processes are a POSIX matter";
  test::ScratchFolder scratch;
  // Its error stream's reader is gone after the start: the run goes on.
  ClosedErrorPipe pipe(scratch);
  test::ScopedEnvironmentValue tmp("TMP", scratch.Path().c_str());
  std::atomic<bool> done{false};
  int samples = 0;
  int zombies = 0;
  int converters = 0;
  std::thread watcher([&] {
    const long self = OwnPid();
    // A child the kernel reaps by itself shows as a zombie for an instant
    // while it exits; one left unreaped is still one a sample later.
    std::set<long> exiting;
    while (!done) {
      std::vector<ProcessInfo> table = Processes();
      std::set<long> seen;
      for (const ProcessInfo& launcher : table) {
        if (launcher.parent != self || launcher.name != "launcher") continue;
        ++samples;
        for (const ProcessInfo& child : table) {
          if (child.parent != launcher.pid) continue;
          ++converters;
          if (child.state != 'Z') continue;
          if (exiting.count(child.pid) != 0) ++zombies;
          seen.insert(child.pid);
        }
      }
      exiting = seen;
      platform::System().Sleep(20);
    }
  });
  EXPECT_EQ(platform::RunAndWait(test::ProgramBesideTests("launcher"), "", pipe.Path()), 0);
  done = true;
  watcher.join();
  EXPECT_GT(samples, 100);
  EXPECT_GT(converters, 10);
  EXPECT_EQ(zombies, 0);
}

}  // namespace
}  // namespace quill
