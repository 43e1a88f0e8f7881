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
#include <tuple>
#include <vector>

#include "environment/handoff_names.h"
#include "environment/special_folders.h"
#include "launcher/cycles.h"
#include "platform/environment.h"
#include "platform/testing.h"
#include "report/columns.h"
#include "report/cycles.h"
#include "report/evidence.h"
#include "report/forms.h"
#include "report/options.h"
#include "report/visible_text.h"
#include "support/child_process.h"
#include "support/path_helpers.h"
#include "support/plants.h"
#include "support/scratch_folder.h"
#include "support/xml_reader.h"

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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The table's headings, each with its JSON field, from the report's one
// column table.
std::vector<std::pair<std::string, std::string>> HeadingsAndFields() {
  std::vector<std::pair<std::string, std::string>> columns;
  for (const report::Column& column : report::CycleColumns()) {
    columns.emplace_back(column.heading, column.field);
  }
  return columns;
}

// The cells of a table line, which are at least two blanks apart, with where
// each starts and ends.
std::vector<std::pair<std::string, std::pair<std::size_t, std::size_t>>> Cells(
    const std::string& line) {
  std::vector<std::pair<std::string, std::pair<std::size_t, std::size_t>>> cells;
  for (std::size_t at = line.find_first_not_of(' '); at < line.size();) {
    const std::size_t end = std::min(line.find("  ", at), line.size());
    cells.push_back({line.substr(at, end - at), {at, end}});
    at = line.find_first_not_of(' ', end);
  }
  return cells;
}

// A JSON value as the table writes it.
std::string CellOf(const nlohmann::json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "yes" : "NO";
  return value.is_null() ? "-" : value.dump();
}

TEST(Report, TableJsonAndStatusOfASyntheticWorkFolder) {
  // A cycle of the day before, then two runs: the first with a late output,
  // one older than its input, and failure entries in the dump log.
  test::ScratchFolder scratch;
  const std::string work = scratch.MakeFolder("work");
  const std::string dump = scratch.MakeFolder("dump");
  auto in = [](const char* stamp) { return std::string(stamp) + handoff::kInputSuffix; };
  const std::vector<std::pair<std::string, std::int64_t>> files = {
      {in("235950"), -36'010'000},
      {in("100000"), 0},
      {handoff::OutputPath(in("100000")), 3000},
      // Times with milliseconds, which only POSIX lets the test set.
      {handoff::OutputPath(in("100000") + ".001"), 6250},
      {handoff::OutputPath(in("100000") + ".000"), -86'400'000},
      {in("100004"), 4000},
      {in("100200"), 120'000},
      {handoff::OutputPath(in("100200")), 124'000}};
  for (const auto& [name, offsetMs] : files) {
    SetWriteTime(scratch.WriteFile("work/" + name), BaseMs() + offsetMs);
  }
  scratch.WriteFile("dump/" + handoff::HourFileName(BaseMs() / 1000),
                    "2025/11/20 09:59:59\tlauncher\tbefore the run\r\n"
                    "2025/11/20 10:00:00\tuser\t\t/tmp\t\t/home\t\t/bin/launcher\t\t\r\n"
                    "2025/11/20 10:00:00\tlauncher\tThe specified file was not found.\tF\r\n"
                    "2025/11/20 10:00:10\tlauncher.exe\tThe specified file was not found.\r\n"
                    "2025/11/20 10:00:12\tother\tThe specified file was not found.\r\n"
                    "2025/11/20 10:00:20\tKESTREL.EXE\tCan't create /x/y\r\n"
                    "not an entry\r\n"
                    "2025/11/20 10:00:30\tlauncher\tThe specified file was not found.\r\n"
                    "2025/11/20 10:00:31\tkestrel\tCan't create /x/y\r\n");
  const std::string latest =
      R"({"run":3,"input":"100200.in_","start":"2025-11-20 10:02:00.000","latency_ms":4000})";
  const std::string unanswered =
      R"({"run":2,"input":"100004.in_","latency_ms":null,"outputs":0,"failures":4})";
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> cycles;  // what each cycle's JSON object holds
    std::vector<std::string> summary;
  };
  const std::vector<Case> cases = {
      {{},
       0,
       {latest},
       {"summary: 1 cycles in 1 run, 1 answered; latency median 4000 ms, max 4000 ms; 0 late "
        "outputs; 0 failure entries"}},
      {{"--all"},
       1,
       {R"({"run":1,"input":"235950.in_","start":"2025-11-19 23:59:50.000","answered":false})",
        R"({"run":2,"input":"100000.in_","latency_ms":3000,"outputs":2,"late_outputs":1,"failures":1,
            "entries":[{"time":"2025-11-20 10:00:00","offset_ms":0,"program":"launcher",
                        "text":"The specified file was not found.\tF"}]})",
        unanswered, latest},
       {"summary: 4 cycles in 3 runs, 2 answered; latency median 3500 ms, max 4000 ms; 1 late "
        "outputs; 5 failure entries",
        "  \"The specified file was not found.\" x 3", "  \"Can't create /x/y\" x 2"}},
      {{"--since=2025-11-20 10:00:04"},
       1,
       {unanswered, latest},
       {"summary: 2 cycles in 2 runs, 1 answered; latency median 4000 ms, max 4000 ms; 0 late "
        "outputs; 4 failure entries",
        "  \"Can't create /x/y\" x 2", "  \"The specified file was not found.\" x 2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? "latest run" : c.arguments[0]);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--dump-folder", dump, work});
    const report::ReportResult table = report::RunReport(arguments);
    EXPECT_EQ(table.status, c.status);
    EXPECT_EQ(table.error, "");
    arguments.insert(arguments.begin(), "--json");
    const report::ReportResult json = report::RunReport(arguments);
    EXPECT_EQ(json.status, c.status);
    EXPECT_EQ(json.error, "quill-report: read " + work + "\n");

    const std::vector<std::string> lines = Lines(table.output), objects = Lines(json.output);
    ASSERT_EQ(lines.size(), 2 + c.cycles.size() + c.summary.size());
    ASSERT_EQ(objects.size(), c.cycles.size() + 1);
    EXPECT_EQ(lines[0], "work folder: " + work);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2 + c.cycles.size(), lines.end()),
              c.summary);
    const auto headings = Cells(lines[1]);
    const auto kColumns = HeadingsAndFields();
    ASSERT_EQ(headings.size(), kColumns.size());
    for (std::size_t i = 0; i < c.cycles.size(); ++i) {
      const nlohmann::json cycle = nlohmann::json::parse(objects[i]);
      const nlohmann::json expected = nlohmann::json::parse(c.cycles[i]);
      for (const auto& [key, value] : expected.items()) {
        EXPECT_EQ(cycle[key], value) << key;
      }
      EXPECT_EQ(cycle["type"], "cycle");
      EXPECT_EQ(cycle["answered"], !cycle["latency_ms"].is_null());
      EXPECT_EQ(cycle["outputs"], cycle["output_offsets_ms"].size());
      EXPECT_EQ(cycle["failures"], cycle["entries"].size());
      if (cycle["input"] == "100000.in_" && !platform::kWindows) {
        EXPECT_EQ(cycle["output_offsets_ms"], nlohmann::json::parse("[3000, 6250]"));
      }
      // The table's row holds the same values: numbers to the right of their
      // column, texts to the left.
      const auto cells = Cells(lines[2 + i]);
      ASSERT_EQ(cells.size(), kColumns.size());
      for (std::size_t k = 0; k < cells.size(); ++k) {
        EXPECT_EQ(headings[k].first, kColumns[k].first);
        EXPECT_EQ(cells[k].first, CellOf(cycle[kColumns[k].second])) << kColumns[k].first;
        const bool number = cells[k].first.find_first_not_of("0123456789-") == std::string::npos;
        EXPECT_EQ(number ? cells[k].second.second : cells[k].second.first,
                  number ? headings[k].second.second : headings[k].second.first);
      }
    }
    const nlohmann::json summary = nlohmann::json::parse(objects.back());
    EXPECT_EQ(summary["type"], "summary");
    EXPECT_EQ(summary["folder"], work);
    EXPECT_EQ(summary["cycles"], c.cycles.size());
    EXPECT_EQ(summary["unanswered"], summary["cycles"].get<int>() - summary["answered"].get<int>());
    EXPECT_EQ(lines[2 + c.cycles.size()],
              "summary: " + summary["cycles"].dump() + " cycles in " + summary["runs"].dump() +
                  (summary["runs"] == 1 ? " run, " : " runs, ") + summary["answered"].dump() +
                  " answered; latency median " + CellOf(summary["latency_median_ms"]) +
                  " ms, max " + CellOf(summary["latency_max_ms"]) + " ms; " +
                  summary["late_outputs"].dump() + " late outputs; " +
                  summary["failure_entries"].dump() + " failure entries");
    ASSERT_EQ(summary["failures"].size(), c.summary.size() - 1);
    for (std::size_t k = 1; k < c.summary.size(); ++k) {
      const auto& failure = summary["failures"][k - 1];
      EXPECT_EQ(c.summary[k],
                "  \"" + failure["text"].get<std::string>() + "\" x " + failure["count"].dump());
    }
  }
}

TEST(Report, BadUsageAndUnreadableFoldersGiveStatusTwoAndOneLine) {
  test::ScratchFolder scratch;
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
      {{"--dump-folder=", work}, "quill-report: --dump-folder needs a folder"},
      {{"--all", "--since", "10:00", work}, "quill-report: --all and --since exclude each other"},
      {{"--json=yes", work}, "quill-report: unknown option --json=yes"},
      {{"-h=x", work}, "quill-report: unknown option -h=x"},
      {{missing}, "quill-report: cannot read the work folder " + missing},
      {{"-"}, "quill-report: cannot read the work folder -"},  // a folder's name, no option
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
  // Two forms of --since to a line; whole lines, none wider than a terminal.
  EXPECT_NE(help.output.find(std::string(report::kSinceForms[0]) + ", " + report::kSinceForms[1]),
            std::string::npos);
  EXPECT_EQ(help.output.back(), '\n');
  for (const std::string& line : Lines(help.output)) EXPECT_LE(line.size(), 79u) << line;
}

TEST(Report, LinksAreNeitherFollowedNorCounted) {
  if (platform::kWindows) GTEST_SKIP() << "links need privileges on Windows";
  test::ScratchFolder scratch;
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

TEST(Report, HostileBytesAreEscapedForTheTerminalAndReplacedForXml) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    std::string raw, terminal, xml;
  };
  const std::vector<Case> cases = {
      {std::string("\x1b]0;t\x07\x1b[2J\x7f\t\r\n\0", 15),
       "\\x1b]0;t\\x07\\x1b[2J\\x7f\t\\x0d\\x0a\\x00",
       "\\x1b]0;t\\x07\\x1b[2J\\x7f\t\\x0d\\x0a\\x00"},
      // A C1 control, then characters of two and four bytes, up to plane 16.
      {"\xc2\x9b\xc2\xa0\xc3\xa9\xf0\x9f\x98\x80\xf4\x8f\xbf\xbd",
       "\\xc2\\x9b\xc2\xa0\xc3\xa9\xf0\x9f\x98\x80\xf4\x8f\xbf\xbd",
       "\\xc2\\x9b\xc2\xa0\xc3\xa9\xf0\x9f\x98\x80\xf4\x8f\xbf\xbd"},
      {"<&\">", "<&\">", "&lt;&amp;&quot;&gt;"},
      // Latin-1, a cut sequence, overlong, surrogate, above U+10FFFF, U+FFFE:
      // their bytes from 0x80 to 0x9F are 8-bit controls to a terminal.
      {"\xe9\xe2\x82 \xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80\xef\xbf\xbe",
       "\xe9\xe2\\x82 \xe0\\x80\xaf\xed\xa0\\x80\xf4\\x90\\x80\\x80\xef\xbf\xbe",
       r + r + r + " " + r + r + r + r + r + r + r + r + r + r + r},
      // A control followed by text: only the control is escaped.
      {"\xc2\x9b"
       "2J",
       "\\xc2\\x9b2J", "\\xc2\\x9b2J"},
      // CSI and OSC in 8 bits, a lone lead byte.
      {"\x9b[2J \x9d]0;t\x07 \xc2", "\\x9b[2J \\x9d]0;t\\x07 \xc2",
       r + "[2J " + r + "]0;t\\x07 " + r},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(report::TerminalText(c.raw), c.terminal);
    EXPECT_EQ(report::XmlText(c.raw), c.xml);
  }
}

TEST(Report, DumpTextsAndNamesReachEachFormWithoutControls) {
  test::ScratchFolder scratch;
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
  const std::string picture = test::ReadWholeFile(svg);
  test::XmlElement root;
  EXPECT_TRUE(test::ReadXml(picture, &root));
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
    test::ScratchFolder scratch;
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
    if (c.work) fs::create_directories(test::NativeSpelling(underTemp));
    const std::string alternative = scratch.Join("alternative");
    if (c.alternative) fs::create_directory(alternative);
    EXPECT_EQ(report::ChooseWorkFolder(temp, c.fallback, alternative),
              c.underTemp ? underTemp : alternative);
  }
}

// An own file at `path`, as the control; else what another user may plant.
bool PlantAt(std::optional<test::Plant> plant, const std::string& path, const std::string& other) {
  std::error_code error;
  return plant ? test::MakePlant(*plant, path, other) : fs::copy_file(other, path, error);
}

TEST(Report, OnlyPlainFilesWithOneNameAreReadOrWritten) {
  using test::Plant;
  for (std::optional<Plant> plant :
       {std::optional<Plant>(), std::optional(Plant::kFifo), std::optional(Plant::kSymbolicLink),
        std::optional(Plant::kFolder), std::optional(Plant::kHardLink)}) {
    SCOPED_TRACE(plant ? test::PlantName(*plant) : "own file");
    test::ScratchFolder scratch;
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
    EXPECT_EQ(test::ReadWholeFile(other), content);
    if (own) {
      EXPECT_EQ(test::ReadWholeFile(svg).rfind("</svg>\n") + 7, fs::file_size(svg));
    }
  }
  test::ScratchFolder scratch;
  EXPECT_EQ(report::RunReport({"--svg", scratch.Join("no/such/folder.svg"), scratch.Path()}).status,
            2);
}

// The new picture's name beside its target may be taken already: the next
// one is tried, a few times; a name that was taken is never written to.
TEST(Report, APictureGoesToTheFirstFreeNameBesideItsTarget) {
  for (const int taken : {7, 8}) {
    SCOPED_TRACE(taken);
    test::ScratchFolder scratch;
    const std::string work = scratch.MakeFolder("work"), svg = scratch.Join("run.svg");
    SetWriteTime(scratch.WriteFile("work/100000.in_"), BaseMs());
    const std::string base = svg + "." + std::to_string(platform::ProcessIdForTesting());
    std::vector<std::string> names;
    for (int i = 0; i < taken; ++i) {
      names.push_back(base + (i == 0 ? "" : "-" + std::to_string(i)) + ".new");
      std::ofstream(names.back()) << "theirs";
    }
    const bool free = taken < 8;
    EXPECT_EQ(report::RunReport({"--svg", svg, "--dump-folder", scratch.Path(), work}).status,
              free ? 1 : 2);
    EXPECT_EQ(fs::exists(svg), free);
    for (const std::string& name : names) EXPECT_EQ(test::ReadWholeFile(name), "theirs");
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
  test::ScratchFolder scratch;
  scratch.WriteFile("1120_10.txt", text);
  report::ReadDumpEntries(scratch.Path(), {"1120_10.txt", "1120_11.txt"}, &cycles);
  std::vector<std::string> kept;
  for (const report::Cycle& cycle : cycles) {
    for (const report::DumpEntry& entry : cycle.entries) {
      kept.push_back(entry.text.size() > 9 ? std::to_string(entry.text.size()) : entry.text);
    }
  }
  // The cut line keeps 65,536 bytes, 29 of them before its text.
  EXPECT_EQ(kept, (std::vector<std::string>{"65507", "5", "9", "10", "45"}));
}

// Run in a child process as another user: makes the empty file it is given.
TEST(ReportChild, DISABLED_MakeFileAsAnotherUser) {
  const std::string path = test::ChildArgument("other-user-file");
  if (path.empty()) return;
  ASSERT_TRUE(platform::BecomeUserForTesting(4'000'000));
  EXPECT_TRUE(std::ofstream(path).good());
}

// `--json` over `work` with one input at BaseMs(): its cycle and summary.
std::pair<nlohmann::json, nlohmann::json> OneCycle(const std::string& work,
                                                   const std::string& dump) {
  const std::vector<std::string> objects =
      Lines(report::RunReport({"--json", "--dump-folder", dump, work}).output);
  EXPECT_EQ(objects.size(), 2u);
  return {nlohmann::json::parse(objects.front()), nlohmann::json::parse(objects.back())};
}

TEST(Report, OnlyAPlainOutputWithOneNameOfTheInputsOwnerAnswers) {
  enum Made { kOwn, kSecondName, kOtherUser };
  // Input, output, answered: the input's owner decides, not the reader.
  for (const auto& [input, output, answers] :
       std::vector<std::tuple<Made, Made, bool>>{{kOwn, kOwn, true},
                                                 {kOwn, kSecondName, false},
                                                 {kOwn, kOtherUser, false},
                                                 {kOtherUser, kOtherUser, true}}) {
    if (output == kOtherUser && (platform::kWindows || UserName() != "root")) {
      GTEST_SKIP() << "another user's files need root on POSIX";
    }
    test::ScratchFolder scratch;
    const std::string work = scratch.MakeFolder("work");
    fs::permissions(work, fs::perms::all);
    for (const auto& [name, made] :
         {std::pair{"work/100000.in_", input}, {"work/100000.in_.out", output}}) {
      if (made == kOtherUser) {
        ASSERT_EQ(test::RunTestsInChildren("ReportChild.DISABLED_MakeFileAsAnotherUser",
                                           "other-user-file", {scratch.Join(name)}),
                  std::vector<int>{0});
      }
      if (made == kSecondName) fs::create_hard_link(scratch.WriteFile("kept"), scratch.Join(name));
      if (made == kOwn) scratch.WriteFile(name);
    }
    SetWriteTime(scratch.Join("work/100000.in_"), BaseMs());
    SetWriteTime(scratch.Join("work/100000.in_.out"), BaseMs() + 3000);
    const auto [cycle, summary] = OneCycle(work, work);
    EXPECT_EQ(cycle["answered"], answers);
    EXPECT_EQ(cycle["foreign_outputs"], answers ? 0 : 1);
    EXPECT_EQ(summary["foreign_outputs"], cycle["foreign_outputs"]);
    const std::string line = Lines(report::RunReport({"--dump-folder", work, work}).output).at(3);
    EXPECT_EQ(line.substr(line.rfind("; ")),
              answers ? "; 0 failure entries" : "; 1 foreign outputs");
  }
}

TEST(Report, AFloodOfEntriesKeepsAHundredTextsAndCountsEveryOne) {
  auto entries = [](int count, char second, const std::string& kind, bool numbered) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      text += "2025/11/20 10:00:0" + std::string(1, second) + "\tlauncher\t" + kind +
              (numbered ? std::to_string(i) : "") + "\tdetail\n";
    }
    return text;
  };
  // Log, entries, last text kept, kinds counted one by one, the table's last line.
  for (const auto& [log, failures, lastKept, kinds, last] :
       std::vector<std::tuple<std::string, int, std::string, std::size_t, std::string>>{
           // The earliest are kept, whatever the order of the log.
           {entries(150, '2', "late", false) + entries(100, '1', "early", false), 250,
            "early\tdetail", 2, "  \"early\" x 100"},
           // A kind per entry: a cycle counts its first hundred kinds one by one.
           {entries(101, '1', "kind", true), 101, "kind99\tdetail", 100, "  other kinds x 1"}}) {
    test::ScratchFolder scratch;
    const std::string work = scratch.MakeFolder("work"), dump = scratch.Join("dump");
    SetWriteTime(scratch.WriteFile("work/100000.in_"), BaseMs());
    scratch.WriteFile("dump/1120_10.txt", log);
    const auto [cycle, summary] = OneCycle(work, dump);
    EXPECT_EQ(cycle["failures"], failures);
    ASSERT_EQ(cycle["entries"].size(), report::kKeptEntriesPerCycle);
    EXPECT_EQ(cycle["entries"].back()["text"], lastKept);
    EXPECT_EQ(cycle["entries_left_out"], failures - 100);
    EXPECT_EQ(summary["failures"].size(), kinds);
    EXPECT_EQ(summary["failure_entries_of_other_kinds"], kinds == 2 ? 0 : 1);
    EXPECT_EQ(Lines(report::RunReport({"--dump-folder", dump, work}).output).back(), last);
  }
}

TEST(Report, HourFilesAreReadPastTheirHolesAndOnlyUpToTheirLimit) {
  const std::string entry = "2025/11/20 10:00:01\tlauncher\tx\n";
  // Written between two entries, then left as a hole; the entries counted.
  for (const auto& [between, hole, failures] :
       std::vector<std::tuple<std::string, std::uintmax_t, int>>{
           {std::string(static_cast<std::size_t>(report::kMaxDumpFileBytes), 'x'), 0, 1},
           {"", std::uintmax_t{1} << 40, 2}}) {
    if (hole > 0 && platform::kWindows) GTEST_SKIP() << "Wine keeps no holes";
    test::ScratchFolder scratch;
    const std::string work = scratch.MakeFolder("work"), dump = scratch.Join("dump");
    SetWriteTime(scratch.WriteFile("work/100000.in_"), BaseMs());
    const std::string hour = scratch.WriteFile("dump/1120_10.txt", entry + between);
    fs::resize_file(hour, fs::file_size(hour) + hole);
    std::ofstream(hour, std::ios::app | std::ios::binary) << "\n" + entry;
    const bool cut = failures == 1;
    const auto [cycle, summary] = OneCycle(work, dump);
    EXPECT_EQ(cycle["failures"], failures);
    EXPECT_EQ(summary["dump_files_cut"].size(), cut ? 1u : 0u);
    const std::string error = report::RunReport({"--dump-folder", dump, work}).error;
    EXPECT_EQ(error, cut ? "quill-report: read only the first 64 MiB of " +
                               test::NativeSpelling(dump + "\\1120_10.txt") + "\n"
                         : "");
  }
}

}  // namespace
}  // namespace quill
