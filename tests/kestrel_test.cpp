#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "kestrel/converter.h"
#include "kestrel/free_file_name.h"
#include "paths/path_strings.h"
#include "platform/environment.h"
#include "progress/number_text.h"
#include "support/fake_services.h"
#include "support/path_helpers.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::EntryNames;
using test::Exists;
using test::FakeServices;
using test::ScratchFolder;
using test::WithForeignSeparators;

class CountingClock : public FakeServices {
 public:
  int clockReads = 0;
  std::int64_t CalendarTime() override {
    ++clockReads;
    return FakeServices::CalendarTime();
  }
};

TEST(ProduceOutput, OnlySecondsDivisibleByThreeProduceAfterThreeSeconds) {
  struct Case {
    std::int64_t now;
    bool produces;
  };
  // 2^32 and 2^32 + 2: a clock cut to 32 bits would decide the other way.
  for (const Case c :
       {Case{1'700'000'001, true}, Case{1'700'000'002, false}, Case{1'700'000'003, false},
        Case{4'294'967'296, false}, Case{4'294'967'298, true}, Case{0, true}}) {
    ScratchFolder scratch;
    const std::string input = scratch.Join("in/083015.in_");
    const std::string output = input + ".out";
    CountingClock fake;
    fake.calendarStart = c.now;
    bool existedDuringSleep = true;
    fake.onSleep = [&] { existedDuringSleep = Exists(output); };

    EXPECT_TRUE(ProduceOutput(input)) << c.now;
    EXPECT_EQ(fake.clockReads, 1) << c.now;
    EXPECT_FALSE(existedDuringSleep) << c.now;
    EXPECT_FALSE(Exists(input)) << c.now;
    if (c.produces) {
      EXPECT_EQ(fake.sleeps, std::vector<std::uint32_t>{3000}) << c.now;
      EXPECT_EQ(EntryNames(scratch.Join("in")), std::set<std::string>{"083015.in_.out"}) << c.now;
      EXPECT_EQ(fs::file_size(output), 0u) << c.now;
    } else {
      EXPECT_EQ(fake.sleeps, std::vector<std::uint32_t>{500}) << c.now;
      EXPECT_TRUE(EntryNames(scratch.Path()).empty()) << c.now;
    }
    EXPECT_EQ(fake.errorOutput, "") << c.now;
  }
}

TEST(ProduceOutput, LaterOutputsTakeTheNextFreeNumber) {
  ScratchFolder scratch;
  FakeServices fake;
  fake.calendarStart = 1'700'000'001;
  // Each start waits 3 s, so the clock stays on seconds divisible by three.
  const std::string input = WithForeignSeparators(scratch.Path()) + "/w/083015.in_";
  for (int start = 0; start < 3; ++start) ProduceOutput(input);
  EXPECT_EQ(fake.sleeps.size(), 3u);
  EXPECT_EQ(EntryNames(scratch.Join("w")),
            (std::set<std::string>{"083015.in_.out", "083015.in_.000.out", "083015.in_.001.out"}));
}

TEST(ProduceOutput, AFolderThatCannotBeMadeEndsQuietly) {
  ScratchFolder scratch;
  FakeServices fake;
  fake.calendarStart = 1'700'000'001;
  scratch.WriteFile("blocker", "x");
  EXPECT_TRUE(ProduceOutput(scratch.Join("blocker/083015.in_")));
  EXPECT_EQ(fake.sleeps, std::vector<std::uint32_t>{3000});
  EXPECT_EQ(EntryNames(scratch.Path()), std::set<std::string>{"blocker"});
  EXPECT_EQ(fake.errorOutput, "");
}

TEST(FreeFileName, NumbersInFrontOfTheLastExtension) {
  ScratchFolder scratch;
  const std::string base = scratch.Path() + "\\";
  const std::string wanted = base + "a.txt";
  EXPECT_EQ(FreeFileName(wanted), wanted);
  scratch.WriteFile("a.txt");
  EXPECT_EQ(FreeFileName(wanted), base + "a.000.txt");
  scratch.WriteFile("a.000.txt");
  EXPECT_EQ(FreeFileName(wanted), base + "a.001.txt");
  scratch.MakeFolder("a.001.txt");
  EXPECT_EQ(FreeFileName(wanted), base + "a.002.txt");
  // The lowest free number wins, also when it was freed later.
  fs::remove(scratch.Join("a.000.txt"));
  EXPECT_EQ(FreeFileName(wanted), base + "a.000.txt");

  scratch.WriteFile("r.tar.gz");
  EXPECT_EQ(FreeFileName(base + "r.tar.gz"), base + "r.tar.000.gz");
  scratch.WriteFile("data");
  EXPECT_EQ(FreeFileName(base + "data"), base + "data.000");
  // The folder keeps its own spelling; the number joins it with `\`.
  const std::string foreign = WithForeignSeparators(scratch.Path());
  const char separator = platform::kWindows ? '/' : '\\';
  EXPECT_EQ(FreeFileName(foreign + separator + "data"), foreign + "\\data.000");
}

TEST(FreeFileName, AllThousandTakenGivesTheWantedPath) {
  ScratchFolder scratch;
  const std::string wanted = scratch.WriteFile("b.out");
  for (std::uint32_t i = 0; i < 999; ++i) scratch.WriteFile("b." + NumberText(i, 10, 3) + ".out");
  EXPECT_EQ(FreeFileName(wanted), scratch.Path() + "\\b.999.out");
  scratch.WriteFile("b.999.out");
  EXPECT_EQ(FreeFileName(wanted), wanted);
}

TEST(FreeFileName, ABareNameNumbersAtTheRoot) {
  ScratchFolder scratch;
  const fs::path previous = fs::current_path();
  fs::current_path(scratch.Path());
  // A name unique to this scratch folder, so nothing of it exists at the root.
  const std::string stem = PathLeaf(scratch.Path());
  EXPECT_EQ(FreeFileName(stem + ".txt"), stem + ".txt");
  scratch.WriteFile(stem + ".txt");
  EXPECT_EQ(FreeFileName(stem + ".txt"), "\\" + stem + ".000.txt");
  fs::current_path(previous);
}

TEST(PathWithoutExtension, FolderAndStem) {
  EXPECT_EQ(PathWithoutExtension("C:\\w\\083015.in_.out"), "C:\\w\\083015.in_");
  EXPECT_EQ(PathWithoutExtension("C:/w/a.txt"), "C:/w\\a");
  EXPECT_EQ(PathWithoutExtension("C:\\a.txt"), "C:\\a");
  EXPECT_EQ(PathWithoutExtension("a.txt"), "\\a");
  EXPECT_EQ(PathWithoutExtension("C:\\w\\data"), "C:\\w\\data");
  EXPECT_EQ(PathWithoutExtension("C:\\w\\"), "C:\\w\\");
  // A file right below the root keeps its numbers there.
  EXPECT_EQ(PathWithoutExtension("\\a.txt"), "\\a");
  EXPECT_EQ(PathWithoutExtension("/a.in_.out"), "/a.in_");
  EXPECT_EQ(PathWithoutExtension("\\"), "\\");
}

}  // namespace
}  // namespace quill
