#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "progress/number_text.h"
#include "progress/progress_indicator.h"
#include "support/fake_services.h"

namespace quill {
namespace {

std::size_t CountOf(const std::string& text, char c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

// The shared counters outlive single tests, so every test starts and ends
// with them at their start values.
class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override { ProgressIndicator::ResetSharedState(); }
  void TearDown() override { ProgressIndicator::ResetSharedState(); }

  test::FakeServices fake;
};

TEST(NumberTextTest, DigitsBasesAndPadding) {
  EXPECT_EQ(NumberText(255, 16, 0), "ff");
  EXPECT_EQ(NumberText(5, 1, 0), "101");
  EXPECT_EQ(NumberText(255, -7, 0), "11111111");
  EXPECT_EQ(NumberText(0, 10, 0), "0");
  EXPECT_EQ(NumberText(35, 36, 0), "z");
  EXPECT_EQ(NumberText(71, 99, 0), "1z");
  EXPECT_EQ(NumberText(4294967295u, 10, 0), "4294967295");
  EXPECT_EQ(NumberText(4294967295u, 2, 0), std::string(32, '1'));
  EXPECT_EQ(NumberText(7, 10, 3), "007");
  EXPECT_EQ(NumberText(0, 10, 4), "0000");
  EXPECT_EQ(NumberText(1234, 10, 2), "1234");
  EXPECT_EQ(NumberText(12, 10, -5), "12");
}

TEST(NumberTextTest, EncloseInPairClosesMatchingOrSame) {
  EXPECT_EQ(EncloseInPair(" 3 / 50 ", '('), "( 3 / 50 )");
  EXPECT_EQ(EncloseInPair("a", '<'), "<a>");
  EXPECT_EQ(EncloseInPair("a", '['), "[a]");
  EXPECT_EQ(EncloseInPair("a", '{'), "{a}");
  EXPECT_EQ(EncloseInPair("a", '"'), "\"a\"");
  EXPECT_EQ(EncloseInPair("a", ')'), ")a)");
  EXPECT_EQ(EncloseInPair("", '('), "()");
}

TEST_F(ProgressTest, WaitLoopDrawsFromSecondStepAndErasesAtEnd) {
  std::string lastLine;
  {
    ConsoleProgressBar bar;
    EXPECT_TRUE(bar.Start("wait  ...", 100));

    // Right after construction: under 100 ms, nothing is drawn.
    EXPECT_TRUE(bar.Step());
    EXPECT_EQ(fake.errorOutput, "");

    fake.Sleep(300);
    EXPECT_TRUE(bar.Step());
    EXPECT_EQ(fake.errorOutput, "wait  ...    ( 2 / 100 )    ....................\r");

    for (int step = 3; step <= 10; ++step) {
      fake.errorOutput.clear();
      fake.Sleep(300);
      EXPECT_TRUE(bar.Step());
      EXPECT_EQ(CountOf(fake.errorOutput, '\r'), 1u) << "step " << step;
    }
    EXPECT_EQ(fake.errorOutput, "wait  ...    ( 10 / 100 )    **..................\r");
    fake.errorOutput.clear();
  }
  // The longest line had 50 characters, its carriage return included.
  EXPECT_EQ(fake.errorOutput, std::string(50, ' ') + "\r");
  EXPECT_EQ(ProgressIndicator::liveCount, 0);
  EXPECT_EQ(ProgressIndicator::OverallDone(), 0u);
  EXPECT_EQ(ProgressIndicator::OverallTotal(), 0u);
}

TEST_F(ProgressTest, RedrawsOnlyWhenWholePercentChanges) {
  ConsoleProgressBar bar;
  bar.Start("big", 1000);
  for (int step = 1; step <= 25; ++step) {
    fake.Sleep(300);
    EXPECT_TRUE(bar.Step());
  }
  EXPECT_EQ(fake.errorOutput,
            "big    ( 10 / 1000 )    ....................\r"
            "big    ( 20 / 1000 )    ....................\r");
}

TEST_F(ProgressTest, TotalsBelowTenLeaveIndicatorInert) {
  ConsoleProgressBar bar;
  EXPECT_TRUE(bar.Start("short", 9));
  EXPECT_EQ(bar.GetTotal(), 0u);
  for (int step = 0; step < 5; ++step) {
    fake.Sleep(300);
    EXPECT_FALSE(bar.Step());
  }
  EXPECT_EQ(bar.GetPosition(), 0u);
  EXPECT_EQ(ProgressIndicator::OverallDone(), 0u);
  EXPECT_EQ(ProgressIndicator::OverallTotal(), 0u);
  EXPECT_EQ(fake.errorOutput, "");

  EXPECT_TRUE(bar.SetTotal(10));
  EXPECT_FALSE(bar.SetTotal(0));
  EXPECT_EQ(bar.GetTotal(), 10u);
  // Changing an accepted total adds only the difference, also downwards.
  EXPECT_TRUE(bar.SetTotal(40));
  EXPECT_TRUE(bar.SetTotal(25));
  EXPECT_EQ(ProgressIndicator::OverallTotal(), 25u);
}

TEST_F(ProgressTest, SetPositionLimitAndWrapAfterTotal) {
  ConsoleProgressBar bar;
  bar.Start("w", 10);
  EXPECT_FALSE(bar.SetPosition(11));
  EXPECT_EQ(bar.GetPosition(), 0u);
  EXPECT_EQ(ProgressIndicator::OverallDone(), 0u);

  // Accepted, raises the overall count, but too soon after construction to draw.
  EXPECT_TRUE(bar.SetPosition(10));
  EXPECT_EQ(bar.GetPosition(), 10u);
  EXPECT_EQ(ProgressIndicator::OverallDone(), 10u);
  EXPECT_EQ(fake.errorOutput, "");

  // A step at the total wraps to 0, still counts, and redraws; with more done
  // than the overall total the bar shows nothing done.
  fake.Sleep(300);
  EXPECT_TRUE(bar.Step());
  EXPECT_EQ(bar.GetPosition(), 0u);
  EXPECT_EQ(ProgressIndicator::OverallDone(), 11u);
  EXPECT_EQ(bar.OverallFraction(), 0.0);
  EXPECT_EQ(fake.errorOutput, "w    ( 11 / 10 )    ....................\r");
}

TEST_F(ProgressTest, NestedBarsShareOneOverallCount) {
  ConsoleProgressBar outer;
  outer.Start("outer", 100);
  fake.Sleep(300);
  outer.Step();
  EXPECT_EQ(fake.errorOutput, "outer    ( 1 / 100 )    ....................\r");
  {
    ConsoleProgressBar inner;
    inner.Start("inner", 50);
    EXPECT_EQ(ProgressIndicator::liveCount, 2);
    EXPECT_EQ(ProgressIndicator::OverallTotal(), 150u);

    fake.errorOutput.clear();
    fake.Sleep(300);
    inner.Step();
    EXPECT_EQ(fake.errorOutput, "inner    ( 2 / 150 )    ....................\r");

    fake.errorOutput.clear();
    fake.Sleep(300);
    EXPECT_TRUE(inner.SetPosition(50));
    EXPECT_EQ(fake.errorOutput, "inner    ( 50 / 150 )    ******..............\r");
    fake.errorOutput.clear();
  }
  EXPECT_EQ(fake.errorOutput, std::string(46, ' ') + "\r");
  // The inner total stays in the sum while the outer bar lives; the erase
  // restarted the redraw clock, so the outer bar draws at once.
  EXPECT_EQ(ProgressIndicator::liveCount, 1);
  fake.errorOutput.clear();
  outer.Step();
  EXPECT_EQ(fake.errorOutput, "outer    ( 51 / 150 )    ******..............\r");
}

TEST_F(ProgressTest, ZeroedLiveCountRestartsCountAroundLiveIndicator) {
  ConsoleProgressBar outer;
  outer.Start("outer", 100);
  outer.Step();
  outer.Step();

  ProgressIndicator::liveCount = 0;
  {
    ProgressIndicator fresh;
    EXPECT_EQ(ProgressIndicator::OverallDone(), 0u);
    EXPECT_EQ(ProgressIndicator::OverallTotal(), 0u);
    fresh.SetTotal(20);
    fresh.Step();
    EXPECT_EQ(ProgressIndicator::OverallDone(), 1u);
  }
  EXPECT_EQ(outer.GetPosition(), 2u);
  EXPECT_EQ(outer.GetTotal(), 100u);
  EXPECT_EQ(ProgressIndicator::OverallTotal(), 0u);

  // Without an overall total there are no counts: eight blanks, no "*".
  fake.Sleep(300);
  outer.Step();
  // The redraw raised the overall done count to the outer bar's position.
  EXPECT_EQ(ProgressIndicator::OverallDone(), 3u);
  EXPECT_EQ(fake.errorOutput, "outer        ....................\r");
}

TEST_F(ProgressTest, CountTextsAndFractions) {
  ProgressIndicator indicator;
  indicator.Start("count", 50);
  indicator.SetPosition(3);
  EXPECT_EQ(indicator.CountText(), "( 3 / 50 )");
  EXPECT_EQ(indicator.OverallCountText(), "( 3 / 50 )");
  EXPECT_DOUBLE_EQ(indicator.Fraction(), 0.06);
  EXPECT_EQ(indicator.ScaledFraction(100), 6);
  EXPECT_EQ(indicator.OverallScaledFraction(20), 1);

  indicator.SetPosition(50);
  EXPECT_EQ(indicator.ScaledFraction(std::numeric_limits<std::uint32_t>::max()),
            std::numeric_limits<std::int32_t>::max());

  // The plain indicator never draws: a due redraw answers false.
  fake.Sleep(300);
  EXPECT_FALSE(indicator.SetPosition(4));
  EXPECT_FALSE(indicator.Draw());
  EXPECT_EQ(fake.errorOutput, "");

  EXPECT_TRUE(indicator.Reset());
  EXPECT_EQ(indicator.GetTotal(), 0u);
  EXPECT_EQ(indicator.Fraction(), 0.0);
  EXPECT_EQ(ProgressIndicator::OverallTotal(), 50u);
}

TEST_F(ProgressTest, BarWithoutTotalsOrCaption) {
  ConsoleProgressBar bar;
  EXPECT_TRUE(bar.SetCaption(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(bar.Draw());
  EXPECT_EQ(fake.errorOutput, "        ....................\r");
}

TEST_F(ProgressTest, ResetErasesOnceAndRestartsRedrawClock) {
  {
    ConsoleProgressBar bar;
    bar.Start("reset", 100);
    fake.Sleep(300);
    bar.Step();
    fake.errorOutput.clear();

    EXPECT_TRUE(bar.Reset());
    EXPECT_EQ(fake.errorOutput, std::string(45, ' ') + "\r");
    EXPECT_FALSE(bar.Step());
    fake.errorOutput.clear();
    EXPECT_TRUE(bar.Reset());
  }
  EXPECT_EQ(fake.errorOutput, "");

  // The erase cleared the redraw clock: a new bar waits 100 ms from its own
  // construction, not from the last drawing.
  fake.Sleep(80);
  ConsoleProgressBar next;
  next.Start("next", 100);
  fake.Sleep(50);
  next.Step();
  EXPECT_EQ(fake.errorOutput, "");
  fake.Sleep(60);
  next.Step();
  EXPECT_EQ(fake.errorOutput, "next    ( 2 / 100 )    ....................\r");
}

TEST_F(ProgressTest, TickCounterWrapTriggersRedraw) {
  fake.tickStart = std::numeric_limits<std::uint32_t>::max() - 20;
  ConsoleProgressBar bar;
  bar.Start("wrap", 100);
  fake.Sleep(30);
  bar.Step();
  EXPECT_EQ(fake.errorOutput, "wrap    ( 1 / 100 )    ....................\r");
}

}  // namespace
}  // namespace quill
