#include "environment/open_retry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "progress/progress_indicator.h"
#include "support/fake_services.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

class OpenRetryTest : public ::testing::Test {
 protected:
  void SetUp() override { ProgressIndicator::ResetSharedState(); }
  void TearDown() override { ProgressIndicator::ResetSharedState(); }

  // Lets every pause take a millisecond more than asked, as real pauses do,
  // so each step of the bar lies clearly beyond the 100 ms redraw limit.
  void PausesRunOver() {
    fake.onSleep = [this] { fake.Advance(1); };
  }

  test::FakeServices fake;
  test::ScratchFolder scratch;
};

TEST_F(OpenRetryTest, OpenableFileOpensAtFirstAttempt) {
  const std::string path = scratch.WriteFile("ready.txt", "x");
  for (std::int32_t seconds : {10, 0, -3}) {
    std::FILE* stream = OpenFileWithRetry(path.c_str(), "rb", seconds);
    ASSERT_NE(stream, nullptr) << seconds;
    std::fclose(stream);
  }
  std::FILE* stream = OpenFileWithRetry(path, std::string("ab"), 10);
  ASSERT_NE(stream, nullptr);
  std::fclose(stream);
  EXPECT_TRUE(fake.sleeps.empty());
  EXPECT_EQ(fake.errorOutput, "");
}

TEST_F(OpenRetryTest, FileAvailableLaterOpensOnFifthAttempt) {
  const std::string path = scratch.Join("late.txt");
  fake.onSleep = [&] {
    if (fake.elapsedMs >= 350 && !test::Exists(path)) scratch.WriteFile("late.txt");
  };
  std::FILE* stream = OpenFileWithRetry(path.c_str(), "rb", 10);
  ASSERT_NE(stream, nullptr);
  std::fclose(stream);
  EXPECT_EQ(fake.sleeps, (std::vector<std::uint32_t>{100, 100, 100, 100}));
  EXPECT_EQ(fake.errorOutput.find('\n'), std::string::npos);
}

TEST_F(OpenRetryTest, NeverOpeningFileTakesHundredAttemptsOverTenSeconds) {
  PausesRunOver();
  const std::string path = scratch.Join("missing") + "/none.txt";
  EXPECT_EQ(OpenFileWithRetry(path.c_str(), "rb", 10), nullptr);
  EXPECT_EQ(fake.sleeps, std::vector<std::uint32_t>(100, 100));

  // One line per attempt, the last one full, then the erase of the longest.
  const std::string& out = fake.errorOutput;
  const std::string first = "::Open_File ...    ( 1 / 100 )    ....................\r";
  const std::string last = "::Open_File ...    ( 100 / 100 )    ********************\r";
  const std::string erase = std::string(last.size(), ' ') + "\r";
  EXPECT_EQ(out.substr(0, first.size()), first);
  ASSERT_GE(out.size(), last.size() + erase.size());
  EXPECT_EQ(out.substr(out.size() - last.size() - erase.size()), last + erase);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 101);
  EXPECT_EQ(out.find('\n'), std::string::npos);
  EXPECT_EQ(ProgressIndicator::liveCount, 0);
}

TEST_F(OpenRetryTest, OneSecondMakesTenAttemptsWithBarOfTen) {
  PausesRunOver();
  const std::string path = scratch.Join("none.txt");
  EXPECT_EQ(OpenFileWithRetry(path.c_str(), "rb", 1), nullptr);
  EXPECT_EQ(fake.sleeps.size(), 10u);
  EXPECT_NE(fake.errorOutput.find("::Open_File ...    ( 10 / 10 )    ********************\r"),
            std::string::npos);
}

TEST_F(OpenRetryTest, ZeroOrNegativeSecondsMakeOneAttemptWithOnePause) {
  const std::string path = scratch.Join("none.txt");
  for (std::int32_t seconds : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
    fake.sleeps.clear();
    EXPECT_EQ(OpenFileWithRetry(path.c_str(), "rb", seconds), nullptr) << seconds;
    EXPECT_EQ(fake.sleeps, std::vector<std::uint32_t>{100}) << seconds;
  }
  EXPECT_EQ(fake.errorOutput, "");
}

TEST_F(OpenRetryTest, HugeSecondsKeepRetryingInsteadOfOverflowing) {
  const std::string path = scratch.Join("late.txt");
  fake.onSleep = [&] {
    if (fake.sleeps.size() == 3) scratch.WriteFile("late.txt");
  };
  std::FILE* stream =
      OpenFileWithRetry(path.c_str(), "rb", std::numeric_limits<std::int32_t>::max());
  ASSERT_NE(stream, nullptr);
  std::fclose(stream);
  EXPECT_EQ(fake.sleeps.size(), 3u);
}

TEST_F(OpenRetryTest, EmptyPathOrModeNeverOpens) {
  ProgressIndicator outer;
  EXPECT_EQ(OpenFileWithRetry("", "rb", 10), nullptr);
  EXPECT_EQ(OpenFileWithRetry(nullptr, "rb", 10), nullptr);
  EXPECT_EQ(OpenFileWithRetry(std::string(), std::string("rb"), 10), nullptr);
  EXPECT_TRUE(fake.sleeps.empty());
  EXPECT_EQ(fake.errorOutput, "");
  // No bar was made: the shared count of the live indicator is untouched.
  EXPECT_EQ(ProgressIndicator::liveCount, 1);

  const std::string path = scratch.WriteFile("ready.txt", "x");
  EXPECT_EQ(OpenFileWithRetry(path.c_str(), "", 0), nullptr);
  EXPECT_EQ(OpenFileWithRetry(path.c_str(), nullptr, 0), nullptr);
  EXPECT_EQ(fake.sleeps.size(), 2u);
}

TEST_F(OpenRetryTest, RestartsSharedCountInsideAnotherWait) {
  ConsoleProgressBar wait;
  wait.Start("wait  ...", 100);
  wait.Step();
  wait.Step();
  EXPECT_EQ(ProgressIndicator::OverallTotal(), 100u);

  PausesRunOver();
  const std::string path = scratch.Join("none.txt");
  EXPECT_EQ(OpenFileWithRetry(path.c_str(), "rb", 1), nullptr);
  // Its bar counted on its own ...
  EXPECT_NE(fake.errorOutput.find("::Open_File ...    ( 1 / 10 )    **"), std::string::npos);
  EXPECT_EQ(fake.errorOutput.find("/ 110 )"), std::string::npos);
  // ... and left the outer wait's own counting alone.
  EXPECT_EQ(wait.GetPosition(), 2u);
  EXPECT_EQ(wait.GetTotal(), 100u);
  EXPECT_EQ(ProgressIndicator::liveCount, 0);
  EXPECT_EQ(ProgressIndicator::OverallTotal(), 0u);
}

}  // namespace
}  // namespace quill
