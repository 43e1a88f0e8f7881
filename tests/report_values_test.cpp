// The report's pure core on values built here: dump text, since-times,
// cycles of file lists, entries of cycles and the timeline read back as XML.
#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "environment/handoff_names.h"
#include "platform/environment.h"
#include "report/columns.h"
#include "report/cycles.h"
#include "report/forms.h"
#include "report/options.h"
#include "support/scoped_environment.h"
#include "support/xml_reader.h"

namespace quill {
namespace {

using report::Cycle;
using report::DumpEntry;

// A local time in calendar milliseconds (2025-11-20 unless told).
std::int64_t LocalMs(int hour, int minute, int second, int day = 20) {
  std::tm local{};
  local.tm_year = 125;
  local.tm_mon = 10;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&local)) * 1000;
}

const std::int64_t kBase = LocalMs(10, 0, 0);

std::string In(const std::string& stamp) {
  return stamp + handoff::kInputSuffix;
}

// `<stamp>.in_.out`, or with `number` `<stamp>.in_.<number>.out`.
std::string Out(const std::string& stamp, const std::string& number = "") {
  return handoff::OutputPath(number.empty() ? In(stamp) : In(stamp) + "." + number);
}

std::string Seconds(std::int64_t ms) {
  return report::LocalTimeText(ms).substr(0, 19);
}

TEST(XmlReader, TakesElementsAttributesAndTextAndRefusesWhatIsNotWellFormed) {
  test::XmlElement root;
  ASSERT_TRUE(
      test::ReadXml("<?xml version=\"1.0\"?>\n<a k=\"&lt;&quot;\">t&amp;<b/>u</a>\n", &root));
  EXPECT_EQ(root.name, "a");
  EXPECT_EQ(root.attributes["k"], "<\"");
  EXPECT_EQ(root.text, "t&u");
  ASSERT_EQ(root.children.size(), 1u);
  EXPECT_EQ(root.children[0].name, "b");
  for (const char* bad : {"<a><b></a>", "<a>", "<a></a></a>", "<a></b>", "<a x=1/>", "<a x=\"1/>",
                          "<a x=\"1\"y=\"2\"/>", "<a x=\"1\" x=\"2\"/>", "<a x=\"<\"/>",
                          "<a>&nbsp;</a>", "<a>&amp</a>", "<a>1 < 2</a>", "<a/>b", ""}) {
    EXPECT_FALSE(test::ReadXml(bad, &root)) << bad;
  }
}

TEST(ReportValues, DumpTextGivesItsEntryLines) {
  struct Case {
    std::string text;
    std::size_t maxLineBytes;
    std::vector<std::string> entries;  // time|program|text
  };
  const std::string at = "2025/11/20 10:00:00\t";
  const std::vector<Case> cases = {
      {"2024/03/05 06:07:08\tlauncher\tnot found\tFile=\"k\"\r\n2025/11/21 13:14:15\tother\t\n" +
           at + "kestrel\tlast, without LF",
       100,
       {"2024-03-05 06:07:08|launcher|not found\tFile=\"k\"", "2025-11-21 13:14:15|other|",
        "2025-11-20 10:00:00|kestrel|last, without LF"}},
      // A header line: the user, then folders, each followed by two TABs.
      {at + "user\t\t/tmp\t\t/home\t\t\r\n" + at + "launcher\t\tone TAB\t\n" + at +
           "kestrel\tx\t\t\n" + "2025/11/20 10:00:00 launcher\tx\n" + at + "launcher\n" +
           "2025-11-20 10:00:00\tk\tx\n" + "2025/11/2a 10:00:00\tk\tx\n" +
           "2025/11/20T10:00:00\tk\tx\n" + "2025/11/20 10:00\tk\tx\n",
       100,
       {"2025-11-20 10:00:00|launcher|\tone TAB\t", "2025-11-20 10:00:00|kestrel|x\t\t"}},
      // Cut lines: the text loses its end; a line cut before its text is none.
      {at + "launcher\tabcdef\n" + at + "kestrel\tk\n",
       30,
       {"2025-11-20 10:00:00|launcher|a", "2025-11-20 10:00:00|kestrel|k"}},
      {at + "launcher\tabcdef\n" + at + "k\tk\n", 25, {"2025-11-20 10:00:00|k|k"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> entries;
    for (const DumpEntry& e : report::ParseDumpText(c.text, c.maxLineBytes)) {
      entries.push_back(Seconds(e.timeMs) + "|" + e.program + "|" + e.text);
    }
    EXPECT_EQ(entries, c.entries) << c.text;
  }
}

TEST(ReportValues, SinceTextGivesALocalTime) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"2025-11-20 09:05:07", "2025-11-20 09:05:07"},
      {"2024-02-29T23:59:58", "2024-02-29 23:59:58"},
      {"2000-02-29", "2000-02-29 00:00:00"},
      {"2025-12-31 00:00", "2025-12-31 00:00:00"},
      {"2025-01-01", "2025-01-01 00:00:00"},
      {"13:14:15", "2025-11-20 13:14:15"},
      {"23:59", "2025-11-20 23:59:00"},
      {"00:00:60", "2025-11-20 00:01:00"},
  };
  for (const auto& [text, time] : cases) {
    std::int64_t ms = 0;
    EXPECT_TRUE(report::ParseSinceTime(text, kBase / 1000, &ms)) << text;
    EXPECT_EQ(Seconds(ms), time) << text;
  }
  for (const char* bad :
       {"2025-13-01", "2025-00-10",       "2025-11-32",      "2025-01-32",  "2025-11-00",
        "2025-04-31", "1900-02-29",       "2025-02-29",      "24:00",       "23:60",
        "23:59:61",   "2025-11-20x09:00", "2025-11-20 9:00", "2025-11-20 ", "09:05:",
        "09:05:07 ",  "09:05:07:00",      "2025-11",         "1:00",        "09-05",
        "0/:00",      "202511-20",        "2025-11-20T",     "2025-1120",   ""}) {
    std::int64_t ms = 0;
    EXPECT_FALSE(report::ParseSinceTime(bad, kBase / 1000, &ms)) << bad;
  }
  // The one second whose calendar time is mktime's error value.
  std::int64_t early = 0;
  EXPECT_EQ(report::ParseSinceTime("1969-12-01 00:00", kBase / 1000, &early), !platform::kWindows);
  if (platform::kWindows) GTEST_SKIP() << "Windows' mktime refuses times before 1970";
  test::ScopedEnvironmentValue utc("TZ", "UTC");
  std::int64_t ms = 0;
  EXPECT_TRUE(report::ParseSinceTime("1969-12-31 23:59:59", kBase / 1000, &ms));
  EXPECT_EQ(ms, -1000);
}

TEST(ReportValues, TimeTextsBeforeTheEpochKeepTheirSecondAndMilliseconds) {
  const std::string second = report::LocalTimeText(-1000);
  EXPECT_EQ(second.substr(19), ".000");
  EXPECT_NE(second.substr(0, 19), report::LocalTimeText(0).substr(0, 19));
  EXPECT_EQ(report::LocalTimeText(-1), second.substr(0, 20) + "999");
  // Where the system has no local time for them (Windows), in UTC, still whole.
  for (const auto& [seconds, utc] :
       std::vector<std::pair<std::int64_t, std::string>>{{-1, "1969-12-31 23:59:59"},
                                                         {-11'644'473'600, "1601-01-01 00:00:00"},
                                                         {0, "1970-01-01 00:00:00"},
                                                         {951'868'799, "2000-02-29 23:59:59"},
                                                         {4'107'542'400, "2100-03-01 00:00:00"}}) {
    EXPECT_EQ(report::UtcText(seconds), utc);
    const std::int64_t ms = seconds * 1000;
    const std::string text = report::LocalTimeText(ms);
    ASSERT_EQ(text.size(), 23u);
    test::XmlElement root;
    EXPECT_TRUE(test::ReadXml(report::TimelineSvg("", {{In("1"), ms, ms, 1, {}, {}}}), &root));
  }
}

// "run input start-end offsets latency late" in ms from kBase, the latency
// as the JSON has it.
std::string Describe(const Cycle& c) {
  std::string offsets;
  for (std::int64_t offset : c.outputOffsetsMs) offsets += std::to_string(offset) + ",";
  return std::to_string(c.run) + " " + c.input + " " + std::to_string(c.startMs - kBase) + "-" +
         std::to_string(c.endMs - kBase) + " " + offsets + " " +
         report::MsOrNull(report::LatencyMs(c)).dump() + " " +
         std::to_string(report::LateOutputs(c));
}

TEST(ReportValues, FilesGiveCyclesWithTheirOutputsWindowsRunsAndHourFiles) {
  struct Case {
    std::vector<std::pair<std::string, std::int64_t>> files;  // name, ms from kBase
    std::vector<std::string> cycles;
    std::vector<int> hours;  // of the dump files the windows touch
  };
  std::string upper = In("100010");
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::vector<Case> cases = {
      // Outputs of an input in any case, earliest first; older ones and other
      // names left out. A start shared by two inputs: by name.
      {{{Out("100000", "002"), 9000},
        {In("100000"), 0},
        {handoff::OutputPath(upper), 13000},
        {Out("100000", "001"), 6000},
        {Out("100000", "000"), -86'400'000},
        {Out("100000") + ".bak", 5000},
        {In("100000") + ".1.out", 5000},
        {upper, 10000},
        {In("100020"), 20000},
        {In("100019"), 20000},
        {Out("100000"), 3000}},
       {"1 100000.in_ 0-10000 3000,6000,9000, 3000 2", "1 100010.IN_ 10000-20000 3000, 3000 0",
        "1 100019.in_ 20000-20000  null 0", "1 100020.in_ 20000-55000  null 0"},
       {10}},
      // A new run after a gap longer than the longest cycle; an output at
      // the end of the window answers, one at the start too.
      {{{In("100000"), 0},
        {Out("100000"), 35000},
        {In("100035"), 35000},
        {In("100110"), 70001},
        {Out("100110"), 70001}},
       {"1 100000.in_ 0-35000 35000, 35000 0", "1 100035.in_ 35000-70000  null 0",
        "2 100110.in_ 70001-105001 0, 0 0"},
       {10}},
      // Windows that end at the turn of an hour, or go past it.
      {{{In("095925"), -35000}, {In("105950"), 3'590'000}},
       {"1 095925.in_ -35000-0  null 0", "2 105950.in_ 3590000-3625000  null 0"},
       {9, 10, 11}},
      // A window that ends exactly on the hour reads no file of the next.
      {{{In("095925"), -35000}}, {"1 095925.in_ -35000-0  null 0"}, {9}},
      {{{In("095925"), -34999}}, {"1 095925.in_ -34999-1  null 0"}, {9, 10}},
      {{}, {}, {}},
  };
  for (const Case& c : cases) {
    std::vector<report::FileTime> files;
    for (const auto& [name, offset] : c.files) files.push_back({name, kBase + offset});
    const std::vector<Cycle> found = report::FindCycles(files);
    std::vector<std::string> cycles, hours;
    for (const Cycle& cycle : found) cycles.push_back(Describe(cycle));
    EXPECT_EQ(cycles, c.cycles);
    for (int hour : c.hours) hours.push_back(handoff::HourFileName(LocalMs(hour, 0, 0) / 1000));
    EXPECT_EQ(report::DumpFileNames(found), hours);
  }
}

TEST(ReportValues, EntriesOfHandOffProgramsGoToTheCycleOfTheirSecond) {
  struct Case {
    std::vector<std::int64_t> startsMs;  // from kBase
    std::vector<DumpEntry> entries;      // times from kBase
    std::vector<std::string> texts;      // per cycle
  };
  const std::vector<Case> cases = {
      // Any case, with or without ".exe"; by time, in log order within one.
      {{500},
       {{1000, "launcher", "a"},
        {2000, "KESTREL.EXE", "d"},
        {1500, "kestrel", "c"},
        {1000, "Launcher.exe", "b"},
        {1000, "other", "x"},
        {1000, "launcher.com", "x"},
        {1000, "launcherlaunc", "x"}},
       {"a b c d "}},
      // From the second of the start up to the next start's second, and no
      // longer than the longest cycle.
      {{500, 10'500, 60'000},
       {{-1000, "launcher", "-1"},
        {0, "launcher", "0"},
        {9000, "launcher", "9"},
        {10'000, "launcher", "10"},
        {45'000, "launcher", "45"},
        {46'000, "launcher", "46"},
        {60'000, "launcher", "60"},
        {94'000, "launcher", "94"},
        {95'000, "launcher", "95"}},
       {"0 9 ", "10 45 ", "60 94 "}},
      // Before 1970 the second of a start is still the one it falls in.
      {{-kBase - 1000},
       {{-kBase - 2000, "launcher", "-2"}, {-kBase - 1000, "launcher", "-1"}},
       {"-1 "}},
      {{}, {{0, "launcher", "0"}}, {}},
  };
  for (const Case& c : cases) {
    std::vector<Cycle> cycles;
    for (std::int64_t start : c.startsMs) {
      cycles.push_back(report::FindCycles({{In("x"), kBase + start}}).front());
    }
    std::vector<DumpEntry> entries = c.entries;
    for (DumpEntry& entry : entries) entry.timeMs += kBase;
    report::AttachEntries(&cycles, entries);
    std::vector<std::string> texts;
    for (const Cycle& cycle : cycles) {
      std::string& text = texts.emplace_back();
      for (const DumpEntry& entry : cycle.entries) text += entry.text + " ";
    }
    EXPECT_EQ(texts, c.texts);
  }
}

// An element as "name attributes... text", the attributes that place and
// colour it in a fixed order.
std::string Describe(const test::XmlElement& e) {
  std::string text = e.name;
  for (const char* key : {"x", "y", "x1", "y1", "x2", "y2", "cx", "cy", "r", "width", "height", "d",
                          "fill", "stroke", "font-size", "font-weight", "text-anchor"}) {
    const auto found = e.attributes.find(key);
    if (found != e.attributes.end()) text += " " + found->second;
  }
  return e.text.empty() ? text : text + " " + e.text;
}

std::vector<std::string> Picture(const std::string& folder, const std::vector<Cycle>& cycles,
                                 test::XmlElement* root) {
  EXPECT_TRUE(test::ReadXml(report::TimelineSvg(folder, cycles), root));
  std::vector<std::string> elements;
  for (const test::XmlElement& e : root->children) {
    for (const char* key : {"fill", "stroke"}) {
      const auto colour = e.attributes.find(key);
      EXPECT_TRUE(colour == e.attributes.end() ||
                  std::regex_match(colour->second, std::regex("#[0-9a-f]{6}")))
          << Describe(e);
    }
    elements.push_back(Describe(e));
  }
  return elements;
}

TEST(ReportValues, TimelineHasARowPerCycleMarksAxisAndLegend) {
  // Answered at 3 s with a late output and a failure entry; then unanswered.
  const std::vector<Cycle> cycles = {
      {In("100000"), kBase, kBase + 5000, 1, {3000, 4000}, {{kBase + 2000, "launcher", "x"}}},
      {In("100005"), kBase + 5000, kBase + 40'000, 1, {}, {}}};
  std::vector<std::string> expected = {
      "rect 100% 100% #ffffff", "text 12.0 22.0 15 bold Hand-off cycles: 2, answered 1",
      "text 12.0 40.0 #555555 C:\\work & <x>\\x1b\xEF\xBF\xBD",
      "text 12.0 58.0 bold cycle start, input", "text 860.0 58.0 bold latency"};
  for (int second = 0; second <= 5; ++second) {  // 124 px a second
    const std::string x = std::to_string(230 + 124 * second) + ".0";
    expected.push_back("line " + x + " 64 " + x + " 112 #dddddd");
    expected.push_back("text " + x + " 126.0 middle " + std::to_string(second));
  }
  expected.insert(expected.end(), {"line 230 108 850 108 #444444",
                                   "text 540.0 144.0 middle time since the cycle's start (s)",
                                   "rect 4 65.0 952 20 #f5f5f5",
                                   "text 12.0 79.0 10:00:00  100000.in_",
                                   "rect 228.5 67.0 3 16 #222222",
                                   "path M474.0 71.0L482.0 79.0M474.0 79.0L482.0 71.0 #d7191c",
                                   "circle 602.0 75.0 6.0 #1a9641 #ffffff",
                                   "circle 726.0 75.0 4.5 #f39c12 #ffffff",
                                   "text 860.0 79.0 3.0 s",
                                   "rect 4 87.0 952 20 #fbd5d5",
                                   "text 12.0 101.0 #b00000 bold 10:00:05  100005.in_",
                                   "rect 228.5 89.0 3 16 #222222",
                                   "text 860.0 101.0 #b00000 bold no answer",
                                   "rect 14.5 168.0 3 16 #222222",
                                   "text 26.0 180.0 input (cycle start)",
                                   "circle 166.0 176.0 6.0 #1a9641 #ffffff",
                                   "text 178.0 180.0 output that answered",
                                   "circle 336.0 176.0 4.5 #f39c12 #ffffff",
                                   "text 346.0 180.0 late output",
                                   "path M442.0 172.0L450.0 180.0M442.0 180.0L450.0 172.0 #d7191c",
                                   "text 456.0 180.0 failure entry (dump log)",
                                   "rect 632.0 168.0 24 16 #fbd5d5",
                                   "text 664.0 180.0 unanswered cycle"});
  test::XmlElement root;
  EXPECT_EQ(Picture("C:\\work & <x>\x1b\xe9", cycles, &root), expected);
  EXPECT_EQ(root.attributes["viewBox"], "0 0 960 220");
  EXPECT_EQ(root.attributes["height"], std::to_string(report::TimelineSize(cycles).height));

  // The span: the latest mark rounded up to 5 s, no less than 5 s and no more
  // than the longest cycle, where later marks stay at the edge.
  struct Span {
    std::vector<Cycle> cycles;
    std::string ticks, marks;
  };
  for (const Span& c : std::vector<Span>{
           {{}, "0 1 2 3 4 5 ", "text 230.0 79.0 no cycles "},
           {{{In("1"), kBase, kBase + 1, 1, {10'000}, {}}, {In("2"), kBase, kBase + 9, 1, {1}, {}}},
            "0 1 2 3 4 5 6 7 8 9 10 ",
            "850.0 230.1 "},
           {{{In("1"), kBase, kBase, 1, {10'000}, {{kBase + 10'001, "k", ""}}}},
            "0 5 10 15 ",
            "643.3 "},
           {{{In("1"), kBase, kBase, 1, {-1, 60'000}, {}}},
            "0 5 10 15 20 25 30 35 ",
            "230.0 850.0 "}}) {
    std::string ticks, marks;
    for (const std::string& e : Picture("", c.cycles, &root)) {
      if (e.find("input (cycle start)") != std::string::npos) {  // the legend, at the bottom
        EXPECT_EQ(e, "text 26.0 " + std::to_string(report::TimelineSize(c.cycles).height - 40) +
                         ".0 input (cycle start)");
        break;
      }
      if (e.find(" middle ") != std::string::npos && std::isdigit(e.back())) {
        ticks += e.substr(e.rfind(' ') + 1) + " ";
      }
      if (e.rfind("circle", 0) == 0) marks += e.substr(7, e.find(' ', 7) - 7) + " ";
      if (e.find("no cycles") != std::string::npos) marks += e + " ";
    }
    EXPECT_EQ(ticks, c.ticks);
    EXPECT_EQ(marks, c.marks);
  }
}

}  // namespace
}  // namespace quill
