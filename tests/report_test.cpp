// quill-report over synthetic work folders: real files with chosen write
// times, real dump files, the whole program run in-process; also what other
// local users can plant there (hostile bytes, links, FIFOs, huge lines).
#include "report/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "environment/handoff_names.h"
#include "launcher/cycles.h"
#include "platform/environment.h"
#include "report/cycles.h"
#include "report/evidence.h"
#include "report/forms.h"
#include "report/visible_text.h"
#include "support/path_helpers.h"
#include "support/plants.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

// 2025-11-20 10:00:00 local time, in calendar milliseconds.
std::int64_t BaseMs() {
  std::tm local{};
  local.tm_year = 125;
  local.tm_mon = 10;
  local.tm_mday = 20;
  local.tm_hour = 10;
  local.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&local)) * 1000;
}

// Gives `path` the write time `ms` (calendar milliseconds). Half a
// millisecond more keeps the clocks' conversion from rounding below it. The
// Windows runtime keeps whole seconds only.
void SetWriteTime(const std::string& path, std::int64_t ms) {
  using namespace std::chrono;
  const auto systemNow = system_clock::now();
  const auto fileNow = fs::file_time_type::clock::now();
  const auto target = system_clock::time_point(milliseconds(ms)) + microseconds(500);
  fs::last_write_time(path,
                      fileNow + duration_cast<fs::file_time_type::duration>(target - systemNow));
}

struct File {
  std::string name;
  std::int64_t offsetMs;  // from BaseMs()
};

struct Case {
  const char* what;
  std::vector<File> files;
  std::string dump;  // content of 1120_10.txt
  std::vector<std::string> arguments;
  int status;
  std::vector<std::string> rows;  // the table's cycle lines
  std::string summary;            // the table's summary line
  std::vector<std::string> failureLines;
  // Times with milliseconds, which only POSIX lets the test set.
  bool milliseconds = false;
};

const char kHeading[] =
    "run  start                    input       answered  latency ms  outputs  late  failures";
constexpr std::int64_t kDay = 86'400'000;

const std::vector<Case>& Cases() {
  // Two cycles, then a third two minutes on.
  static const std::vector<File> kTwoRuns = {{"100000.in_", 0},      {"100000.in_.out", 3000},
                                             {"100004.in_", 4000},   {"100004.in_.out", 8000},
                                             {"100200.in_", 120000}, {"100200.in_.out", 124000}};
  static const std::vector<Case> cases = {
      {"answered",
       {{"100000.in_", 250}, {"100000.in_.out", 3550}},
       "",
       {},
       0,
       {"  1  2025-11-20 10:00:00.250  100000.in_  yes             3300        1     0         0"},
       "summary: 1 cycles in 1 run, 1 answered; latency median 3300 ms, max 3300 ms; 0 late "
       "outputs; 0 failure entries",
       {},
       true},
      {"unanswered",
       {{"100000.in_", 0}},
       "",
       {},
       1,
       {"  1  2025-11-20 10:00:00.000  100000.in_  NO                 -        0     0         0"},
       "summary: 1 cycles in 1 run, 0 answered; latency median - ms, max - ms; 0 late outputs; 0 "
       "failure entries",
       {}},
      {"late outputs; a numbered output older than its input is left out",
       {{"100000.in_.000.out", -kDay},
        {"100000.in_", 0},
        {"100000.in_.out", 3000},
        {"100000.in_.001.out", 6000},
        {"100000.in_.002.out", 9000},
        {"100030.in_", 30000},
        {"100030.in_.000.out", 70000}},
       "",
       {},
       1,
       {"  1  2025-11-20 10:00:00.000  100000.in_  yes             3000        3     2         0",
        "  1  2025-11-20 10:00:30.000  100030.in_  NO                 -        1     1         0"},
       "summary: 2 cycles in 1 run, 1 answered; latency median 3000 ms, max 3000 ms; 3 late "
       "outputs; 0 failure entries",
       {}},
      {"two runs with a gap: the latest by default",
       kTwoRuns,
       "",
       {},
       0,
       {"  2  2025-11-20 10:02:00.000  100200.in_  yes             4000        1     0         0"},
       "summary: 1 cycles in 1 run, 1 answered; latency median 4000 ms, max 4000 ms; 0 late "
       "outputs; 0 failure entries",
       {}},
      {"two runs with a gap: --all",
       kTwoRuns,
       "",
       {"--all"},
       0,
       {"  1  2025-11-20 10:00:00.000  100000.in_  yes             3000        1     0         0",
        "  1  2025-11-20 10:00:04.000  100004.in_  yes             4000        1     0         0",
        "  2  2025-11-20 10:02:00.000  100200.in_  yes             4000        1     0         0"},
       "summary: 3 cycles in 2 runs, 3 answered; latency median 4000 ms, max 4000 ms; 0 late "
       "outputs; 0 failure entries",
       {}},
      {"inputs from another day: --since leaves them out",
       {{"235950.in_", -36'000'000 - 10'000},
        {"100000.in_", 0},
        {"100000.in_.out", 3000},
        {"100003.in_", 3000},
        {"100003.in_.out", 6000}},
       "",
       {"--since=2025-11-20 09:00"},
       0,
       {"  2  2025-11-20 10:00:00.000  100000.in_  yes             3000        1     0         0",
        "  2  2025-11-20 10:00:03.000  100003.in_  yes             3000        1     0         0"},
       "summary: 2 cycles in 1 run, 2 answered; latency median 3000 ms, max 3000 ms; 0 late "
       "outputs; 0 failure entries",
       {}},
      {"inputs from another day: --all",
       {{"235950.in_", -36'000'000 - 10'000}, {"100000.in_", 0}, {"100000.in_.out", 3000}},
       "",
       {"--all"},
       1,
       {"  1  2025-11-19 23:59:50.000  235950.in_  NO                 -        0     0         0",
        "  2  2025-11-20 10:00:00.000  100000.in_  yes             3000        1     0         0"},
       "summary: 2 cycles in 2 runs, 1 answered; latency median 3000 ms, max 3000 ms; 0 late "
       "outputs; 0 failure entries",
       {}},
      {"a dump file with failure entries",
       {{"100000.in_", 0}, {"100031.in_", 31000}, {"100031.in_.out", 35000}},
       "2025/11/20 09:59:59\tlauncher\tbefore the run\r\n"
       "2025/11/20 10:00:00\tuser\t\t/tmp\t\t/home\t\t/bin/launcher\t\t\r\n"
       "2025/11/20 10:00:00\tlauncher\tThe specified file was not found.\tFile=\"k\"\r\n"
       "2025/11/20 10:00:10\tlauncher.exe\tThe specified file was not found.\tFile=\"k\"\r\n"
       "2025/11/20 10:00:12\tother\tThe specified file was not found.\r\n"
       "2025/11/20 10:00:20\tKESTREL.EXE\tCan't create /x/y\r\n"
       "not an entry\r\n"
       "2025/11/20 10:00:30\tlauncher\tThe specified file was not found.\tFile=\"k\"\r\n"
       "2025/11/20 10:00:31\tkestrel\tCan't create /x/y\r\n",
       {},
       1,
       {"  1  2025-11-20 10:00:00.000  100000.in_  NO                 -        0     0         4",
        "  1  2025-11-20 10:00:31.000  100031.in_  yes             4000        1     0         1"},
       "summary: 2 cycles in 1 run, 1 answered; latency median 4000 ms, max 4000 ms; 0 late "
       "outputs; 5 failure entries",
       {"  \"The specified file was not found.\" x 3", "  \"Can't create /x/y\" x 2"}},
  };
  return cases;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

TEST(Report, TableJsonAndStatusOfSyntheticWorkFolders) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    if (c.milliseconds && platform::kWindows) continue;
    testing::ScratchFolder scratch;
    const std::string work = scratch.MakeFolder("work");
    const std::string dump = scratch.MakeFolder("dump");
    for (const File& file : c.files) {
      SetWriteTime(scratch.WriteFile("work/" + file.name), BaseMs() + file.offsetMs);
    }
    if (!c.dump.empty()) scratch.WriteFile("dump/1120_10.txt", c.dump);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--dump-folder", dump, work});

    const report::ReportResult table = report::RunReport(arguments);
    EXPECT_EQ(table.status, c.status);
    EXPECT_EQ(table.error, "");
    std::vector<std::string> expected = {"work folder: " + work, kHeading};
    expected.insert(expected.end(), c.rows.begin(), c.rows.end());
    expected.push_back(c.summary);
    expected.insert(expected.end(), c.failureLines.begin(), c.failureLines.end());
    EXPECT_EQ(Lines(table.output), expected);

    arguments.insert(arguments.begin(), "--json");
    const report::ReportResult json = report::RunReport(arguments);
    EXPECT_EQ(json.status, c.status);
    EXPECT_EQ(json.error, "quill-report: read " + work + "\n");
    const std::vector<std::string> objects = Lines(json.output);
    ASSERT_EQ(objects.size(), c.rows.size() + 1);
    int answered = 0, late = 0, failures = 0;
    for (std::size_t i = 0; i + 1 < objects.size(); ++i) {
      const nlohmann::json cycle = nlohmann::json::parse(objects[i]);
      EXPECT_EQ(cycle["type"], "cycle");
      // The table's row holds the same values.
      std::istringstream row(c.rows[i]);
      std::string run, day, time, input, yes, latency, outputs, lateText, failureText;
      row >> run >> day >> time >> input >> yes >> latency >> outputs >> lateText >> failureText;
      EXPECT_EQ(cycle["run"], std::stoi(run));
      EXPECT_EQ(cycle["start"], day + " " + time);
      EXPECT_EQ(cycle["input"], input);
      EXPECT_EQ(cycle["answered"], yes == "yes");
      if (latency == "-") {
        EXPECT_TRUE(cycle["latency_ms"].is_null());
      } else {
        EXPECT_EQ(cycle["latency_ms"], std::stoll(latency));
      }
      EXPECT_EQ(cycle["outputs"], std::stoi(outputs));
      EXPECT_EQ(cycle["output_offsets_ms"].size(), std::stoul(outputs));
      EXPECT_EQ(cycle["late_outputs"], std::stoi(lateText));
      EXPECT_EQ(cycle["failures"], std::stoi(failureText));
      EXPECT_EQ(cycle["entries"].size(), std::stoul(failureText));
      for (const auto& entry : cycle["entries"]) {
        EXPECT_GE(entry["offset_ms"].get<std::int64_t>(), -999);
        EXPECT_LT(entry["offset_ms"].get<std::int64_t>(), 35000);
      }
      answered += yes == "yes";
      late += std::stoi(lateText);
      failures += std::stoi(failureText);
    }
    const nlohmann::json summary = nlohmann::json::parse(objects.back());
    EXPECT_EQ(summary["type"], "summary");
    EXPECT_EQ(summary["folder"], work);
    EXPECT_EQ(summary["cycles"], c.rows.size());
    EXPECT_EQ(summary["answered"], answered);
    EXPECT_EQ(summary["unanswered"], static_cast<int>(c.rows.size()) - answered);
    EXPECT_EQ(summary["late_outputs"], late);
    EXPECT_EQ(summary["failure_entries"], failures);
    int counted = 0;
    for (const auto& failure : summary["failures"]) counted += failure["count"].get<int>();
    EXPECT_EQ(counted, failures);
  }
}

TEST(Report, BadUsageAndUnreadableFoldersGiveStatusTwoAndOneLine) {
  testing::ScratchFolder scratch;
  const std::string work = scratch.MakeFolder("work");
  const std::string file = scratch.WriteFile("plain.txt");
  const std::string missing = scratch.Join("missing");
  struct Bad {
    std::vector<std::string> arguments;
    std::string firstLine;
  };
  const std::vector<Bad> cases = {
      {{"--bogus", work}, "quill-report: unknown option --bogus"},
      {{work, work}, "quill-report: extra argument " + work},
      {{"--since", "yesterday", work}, "quill-report: --since: not a time: yesterday"},
      {{"--since=25:00", work}, "quill-report: --since: not a time: 25:00"},
      {{work, "--svg"}, "quill-report: --svg needs a value"},
      {{"--all", "--since", "10:00", work}, "quill-report: --all and --since exclude each other"},
      {{"--json=yes", work}, "quill-report: unknown option --json=yes"},
      {{missing}, "quill-report: cannot read the work folder " + missing},
      {{file}, "quill-report: the work folder " + file + " is not a folder"},
  };
  for (const Bad& bad : cases) {
    const report::ReportResult result = report::RunReport(bad.arguments);
    EXPECT_EQ(result.status, 2) << bad.firstLine;
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(Lines(result.error).front(), bad.firstLine);
    const bool usage = result.error.find("usage: quill-report") != std::string::npos;
    EXPECT_EQ(usage, bad.firstLine.find("work folder") == std::string::npos) << bad.firstLine;
  }
  const report::ReportResult help = report::RunReport({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind("usage: quill-report", 0), 0u);
}

TEST(Report, LinksAreNeitherFollowedNorCounted) {
  if (platform::kWindows) GTEST_SKIP() << "links need privileges on Windows";
  testing::ScratchFolder scratch;
  const std::string work = scratch.MakeFolder("work");
  const std::string elsewhere = scratch.MakeFolder("elsewhere");
  SetWriteTime(scratch.WriteFile("work/100000.in_"), BaseMs());
  SetWriteTime(scratch.WriteFile("elsewhere/100000.in_.out"), BaseMs() + 3000);
  SetWriteTime(scratch.WriteFile("elsewhere/100010.in_"), BaseMs() + 10000);
  fs::create_symlink(scratch.Join("elsewhere/100000.in_.out"), scratch.Join("work/100000.in_.out"));
  fs::create_symlink(scratch.Join("elsewhere/100010.in_"), scratch.Join("work/100010.in_"));
  fs::create_directory_symlink(elsewhere, scratch.Join("work/sub.in_"));
  fs::create_directory_symlink(work, scratch.Join("linked"));

  const report::ReportResult result = report::RunReport({"--json", "--dump-folder", work, work});
  EXPECT_EQ(result.status, 1);
  const std::vector<std::string> objects = Lines(result.output);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(nlohmann::json::parse(objects[0])["input"], "100000.in_");
  EXPECT_EQ(nlohmann::json::parse(objects[0])["outputs"], 0);

  const report::ReportResult linked = report::RunReport({scratch.Join("linked")});
  EXPECT_EQ(linked.status, 2);
  EXPECT_EQ(linked.error, "quill-report: the work folder " + scratch.Join("linked") +
                              " is a link; it is not followed\n");
}

TEST(Report, SvgFileHasTheStatedSizeOneRowPerCycleAndALegend) {
  testing::ScratchFolder scratch;
  const std::string work = scratch.MakeFolder("work");
  SetWriteTime(scratch.WriteFile("work/100000.in_"), BaseMs());
  SetWriteTime(scratch.WriteFile("work/100000.in_.out"), BaseMs() + 3300);
  SetWriteTime(scratch.WriteFile("work/100004.in_"), BaseMs() + 3600);
  const std::string svg = scratch.Join("run & one.svg");
  const report::ReportResult result =
      report::RunReport({"--svg", svg, "--dump-folder", work, work});
  EXPECT_EQ(result.status, 1);
  const std::string text = testing::ReadWholeFile(svg);
  const report::PictureSize size = report::TimelineSize(std::vector<report::Cycle>(2));
  EXPECT_NE(text.find("width=\"" + std::to_string(size.width) + "\" height=\"" +
                      std::to_string(size.height) + "\""),
            std::string::npos);
  EXPECT_NE(text.find("100000.in_</text>"), std::string::npos);
  EXPECT_NE(text.find("100004.in_</text>"), std::string::npos);
  EXPECT_NE(text.find("no answer"), std::string::npos);
  EXPECT_NE(text.find("unanswered cycle"), std::string::npos);
  EXPECT_NE(text.find("time since the cycle's start (s)"), std::string::npos);
  EXPECT_EQ(text.rfind("</svg>\n"), text.size() - 7);

  const report::ReportResult unwritable =
      report::RunReport({"--svg", scratch.Join("no/such/folder.svg"), work});
  EXPECT_EQ(unwritable.status, 2);
}

// True for UTF-8 (the JSON library refuses anything else, overlong forms and
// surrogates too) without the controls XML 1.0 forbids.
bool IsXmlText(const std::string& text) {
  try {
    (void)nlohmann::json(text).dump();
  } catch (const nlohmann::json::exception&) {
    return false;
  }
  return std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
  });
}

TEST(Report, HostileBytesAreEscapedForTheTerminalAndReplacedForXml) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    std::string raw, terminal, xml;
  };
  const std::vector<Case> cases = {
      {std::string("\x1b]0;t\x07\x1b[2J\x7f\t\r\n\0", 15),
       "\\x1b]0;t\\x07\\x1b[2J\\x7f\t\\x0d\\x0a\\x00",
       "\\x1b]0;t\\x07\\x1b[2J\\x7f\t\\x0d\\x0a\\x00"},
      {"\xc2\x9b\xc2\xa0\xc3\xa9\xf0\x9f\x98\x80", "\\xc2\\x9b\xc2\xa0\xc3\xa9\xf0\x9f\x98\x80",
       "\\xc2\\x9b\xc2\xa0\xc3\xa9\xf0\x9f\x98\x80"},
      {"<&\">", "<&\">", "&lt;&amp;&quot;&gt;"},
      // Latin-1, a cut sequence, overlong, surrogate, above U+10FFFF, U+FFFE.
      {"\xe9\xe2\x82 \xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80\xef\xbf\xbe",
       "\xe9\xe2\x82 \xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80\xef\xbf\xbe",
       r + r + r + " " + r + r + r + r + r + r + r + r + r + r + r},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(report::TerminalText(c.raw), c.terminal);
    EXPECT_EQ(report::XmlText(c.raw), c.xml);
  }
}

TEST(Report, DumpTextsAndNamesReachEachFormWithoutControls) {
  testing::ScratchFolder scratch;
  const bool names = !platform::kWindows;  // Windows names hold no control bytes
  const std::string folder = names ? "work\x1b]0;owned\x07" : "work";
  const std::string input = names ? "100000\x1b[2J.in_" : "100000.in_";
  const std::string work = scratch.MakeFolder(folder);
  SetWriteTime(scratch.WriteFile(folder + "/" + input), BaseMs());
  scratch.MakeFolder("dump");
  const std::vector<std::string> texts = {"\x1b[31mred \xe9", "\x1b[2J", "\x1b]0;title\x07\tk"};
  for (const std::string& text : texts) {
    std::ofstream(scratch.Join("dump/1120_10.txt"), std::ios::app | std::ios::binary)
        << "2025/11/20 10:00:02\tlauncher\t" << text << "\r\n";
  }
  const std::string svg = scratch.Join("run.svg");
  const std::vector<std::string> arguments = {"--dump-folder", scratch.Join("dump"), work};

  const std::vector<std::string> table = Lines(report::RunReport(arguments).output);
  ASSERT_EQ(table.size(), 7u);
  EXPECT_EQ(table[0], "work folder: " + scratch.Join(names ? "work\\x1b]0;owned\\x07" : "work"));
  EXPECT_EQ(table[2].substr(30, 18), names ? "100000\\x1b[2J.in_ " : "100000.in_  NO    ");
  EXPECT_EQ(std::vector<std::string>(table.begin() + 4, table.end()),
            (std::vector<std::string>{"  \"\\x1b[2J\" x 1", "  \"\\x1b[31mred \xe9\" x 1",
                                      "  \"\\x1b]0;title\\x07\" x 1"}));

  const nlohmann::json cycle = nlohmann::json::parse(Lines(
      report::RunReport({"--json", "--svg", svg, arguments[0], arguments[1], work}).output)[0]);
  EXPECT_EQ(cycle["input"], input);
  EXPECT_EQ(cycle["entries"][0]["text"], "\x1b[31mred \xEF\xBF\xBD");
  EXPECT_EQ(cycle["entries"][2]["text"], texts[2]);
  const std::string picture = testing::ReadWholeFile(svg);
  EXPECT_TRUE(IsXmlText(picture));
  EXPECT_NE(picture.find(report::XmlText(work) + "</text>"), std::string::npos);
}

TEST(Report, DefaultWorkFolderTrustsTheUsersFallbackOnlyWhenPrivate) {
  enum Temp { kPrivate, kMissing, kLink, kGroupWritable, kOtherWritable };
  struct Case {
    Temp temp;
    bool fallback, work, alternative, underTemp;  // work, alternative: which exist
  };
  for (const Case& c : std::vector<Case>{{kPrivate, true, true, true, true},
                                         {kPrivate, true, false, true, false},
                                         {kMissing, true, false, true, false},
                                         {kMissing, true, false, false, true},
                                         {kLink, true, true, true, false},
                                         {kLink, true, true, false, false},
                                         {kGroupWritable, true, true, true, false},
                                         {kOtherWritable, true, true, false, false},
                                         {kGroupWritable, false, true, true, true},
                                         {kLink, false, true, false, true}}) {
    if (c.temp > kMissing && platform::kWindows) continue;
    SCOPED_TRACE(::testing::Message() << c.temp << c.fallback << c.work << c.alternative);
    testing::ScratchFolder scratch;
    const std::string real = scratch.MakeFolder("real"), temp = scratch.Join("user");
    fs::permissions(real, fs::perms::owner_all);
    if (c.temp == kLink) fs::create_directory_symlink(real, temp);
    if (c.temp != kLink && c.temp != kMissing) {
      fs::create_directory(temp);
      fs::permissions(temp, c.temp == kGroupWritable ? fs::perms::owner_all | fs::perms::group_write
                            : c.temp == kOtherWritable
                                ? fs::perms::owner_all | fs::perms::others_write
                                : fs::perms::owner_all);
    }
    const std::string underTemp =
        handoff::WorkFolderBelow(temp, std::string("launcher") + platform::kProgramSuffix);
    if (c.work) fs::create_directories(testing::NativeSpelling(underTemp));
    const std::string alternative = scratch.Join("alternative");
    if (c.alternative) fs::create_directory(alternative);
    EXPECT_EQ(report::ChooseWorkFolder(temp, c.fallback, alternative),
              c.underTemp ? underTemp : alternative);
  }
}

// An own file at `path`, as the control; else what another user may plant.
bool PlantAt(std::optional<testing::Plant> plant, const std::string& path,
             const std::string& other) {
  std::error_code error;
  return plant ? testing::MakePlant(*plant, path, other) : fs::copy_file(other, path, error);
}

TEST(Report, OnlyPlainFilesWithOneNameAreReadOrWritten) {
  using testing::Plant;
  for (std::optional<Plant> plant :
       {std::optional<Plant>(), std::optional(Plant::kFifo), std::optional(Plant::kSymbolicLink),
        std::optional(Plant::kFolder), std::optional(Plant::kHardLink)}) {
    SCOPED_TRACE(plant ? testing::PlantName(*plant) : "own file");
    testing::ScratchFolder scratch;
    const std::string work = scratch.MakeFolder("work"), dump = scratch.MakeFolder("dump");
    SetWriteTime(scratch.WriteFile("work/100000.in_"), BaseMs());
    const std::string content = "2025/11/20 10:00:01\tlauncher\tx\n" + std::string(9000, 'x');
    const std::string other = scratch.WriteFile("other", content), svg = scratch.Join("run.svg");
    if (!PlantAt(plant, svg, other) || !PlantAt(plant, scratch.Join("dump/1120_10.txt"), other)) {
      continue;  // not on this system
    }
    const bool own = !plant;
    const report::ReportResult result =
        report::RunReport({"--svg", svg, "--dump-folder", dump, work});
    EXPECT_EQ(result.status, own ? 1 : 2);
    EXPECT_EQ(result.error, own ? "" : "quill-report: cannot write " + svg + "\n");
    EXPECT_EQ(Lines(result.output).at(2).back(), own ? '1' : '0');  // failure entries
    EXPECT_EQ(testing::ReadWholeFile(other), content);
    if (own) {
      EXPECT_EQ(testing::ReadWholeFile(svg).rfind("</svg>\n") + 7, fs::file_size(svg));
    }
  }
}

TEST(Report, DumpFilesAreReadInPiecesWithCutLinesKeepingWhatMatters) {
  // Two cycles: windows [10:00:00, 10:00:10) and [10:00:10, 10:00:45.5).
  std::vector<report::Cycle> cycles(2);
  cycles[0].startMs = BaseMs() + 500;
  cycles[1].startMs = BaseMs() + 10'500;
  auto line = [](const char* time, const char* program, const std::string& text) {
    return std::string("2025/11/20 10:") + time + "\t" + program + "\t" + text + "\r\n";
  };
  // Other programs' lines first, so that what follows straddles a 64 KiB piece.
  std::string text;
  while (text.size() < 65536 - 30) text += line("00:05", "other", std::string(90, 'o'));
  text += std::string(3 * report::kMaxDumpLineBytes, '\0') + "\n";
  text += line("00:00", "launcher", std::string(2 * report::kMaxDumpLineBytes, 'y'));
  text += line("00:09", "kestrel.exe", "9") + line("00:10", "KESTREL", "10") +
          line("00:45", "launcher", "45") + line("00:46", "launcher", "46") +
          line("00:05", "launcher.com", "5") + line("00:05", "launcher", "5");
  testing::ScratchFolder scratch;
  scratch.WriteFile("1120_10.txt", text);
  std::vector<std::string> kept;
  for (const report::DumpEntry& entry : report::ReadDumpEntries(
           scratch.Path(), {"1120_10.txt", "1120_11.txt"}, report::EntryWindows(cycles))) {
    kept.push_back(entry.text.size() > 9 ? std::to_string(entry.text.size()) : entry.text);
  }
  // The cut line keeps 65,536 bytes, 29 of them before its text.
  EXPECT_EQ(kept, (std::vector<std::string>{"65507", "9", "10", "45", "5"}));
  EXPECT_EQ(report::ParseDumpText(text, 40).front().text, std::string(40 - 26, 'o'));
}

}  // namespace
}  // namespace quill
