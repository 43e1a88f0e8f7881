#include "progress/progress_indicator.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "paths/path_strings.h"
#include "platform/services.h"
#include "progress/number_text.h"

namespace quill {
namespace {

constexpr double kRedrawIntervalMs = 100.0;
constexpr std::size_t kBarCells = 20;
constexpr char kGap[] = "    ";

// The tick count goes through seconds and back on purpose: the redraw limit
// compares these doubles, and a tick count times 0.001 times 1000 is not
// always the tick count again, so a plain conversion would redraw at other
// moments near the 100 ms limit.
double CurrentTickMs() {
  return static_cast<double>(platform::System().TickCount()) * 0.001 * 1000.0;
}

// Truncates toward zero; products beyond the signed 32-bit range (possible
// only for n above 2^31) saturate instead of overflowing.
std::int32_t TruncateScaled(double fraction, std::uint32_t n) {
  const double scaled = std::trunc(fraction * static_cast<double>(n));
  if (scaled >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(scaled);
}

double SafeFraction(std::uint32_t done, std::uint32_t total) {
  if (total == 0 || done > total) return 0.0;
  return static_cast<double>(done) / static_cast<double>(total);
}

std::string PairText(std::uint32_t done, std::uint32_t total) {
  return EncloseInPair(Surround(NumberText(done, 10, 0) + " / " + NumberText(total, 10, 0), ' '),
                       '(');
}

}  // namespace

ProgressIndicator::ProgressIndicator(const std::string& caption, std::uint32_t total)
    : caption(caption) {
  if (liveCount <= 0) {
    liveCount = 0;
    overallDone = 0;
    overallTotal = 0;
  }
  if (liveCount < std::numeric_limits<std::int32_t>::max()) ++liveCount;
  SetTotal(total);
  // The first redraw of a fresh start comes no sooner than 100 ms from now.
  if (lastDrawMs == 0.0) lastDrawMs = CurrentTickMs();
}

ProgressIndicator::~ProgressIndicator() {
  position = 0;
  total = 0;
  shown = false;
  // Totals are not taken back while others live: the overall count only
  // restarts with the last indicator.
  if (liveCount > 0) --liveCount;
  if (liveCount <= 0) {
    liveCount = 0;
    overallDone = 0;
    overallTotal = 0;
  }
}

bool ProgressIndicator::Reset() {
  position = 0;
  total = 0;
  shown = false;
  return true;
}

bool ProgressIndicator::Start(const std::string& caption, std::uint32_t total) {
  SetCaption(caption);
  SetTotal(total);
  return true;
}

bool ProgressIndicator::Start(const char* caption, std::uint32_t total) {
  return Start(std::string(caption != nullptr ? caption : ""), total);
}

bool ProgressIndicator::SetTotal(std::uint32_t total) {
  if (total < 10) return false;
  // Unsigned on purpose: a smaller new total lowers the sum by the difference.
  overallTotal += total - GetTotal();
  this->total = total;
  return true;
}

bool ProgressIndicator::SetCaption(const std::string& caption) {
  this->caption = caption;
  return true;
}

bool ProgressIndicator::SetCaption(const char* caption) {
  return SetCaption(std::string(caption != nullptr ? caption : ""));
}

bool ProgressIndicator::Step() {
  if (GetTotal() == 0) return false;
  if (GetPosition() < GetTotal()) {
    ++position;
  } else {
    position = 0;
  }
  ++overallDone;

  // Whole percentages before and after, in wrapping unsigned arithmetic: after
  // a wrap to 0 the "before" term wraps too, so the two differ and a redraw
  // is tried.
  const std::uint32_t hundred = 100;
  const std::uint32_t before = (GetPosition() * hundred - hundred) / GetTotal();
  const std::uint32_t after = GetPosition() * hundred / GetTotal();
  if (before == after) return true;
  return SetPosition(position);
}

bool ProgressIndicator::SetPosition(std::uint32_t position) {
  if (position > GetTotal()) return false;
  this->position = position;
  if (overallDone < GetPosition()) overallDone = GetPosition();

  // The absolute difference also lets a wrap of the tick counter redraw.
  const double now = CurrentTickMs();
  if (std::fabs(now - lastDrawMs) < kRedrawIntervalMs) return true;
  lastDrawMs = now;
  return Draw();
}

std::uint32_t ProgressIndicator::GetPosition() const {
  return position;
}

std::uint32_t ProgressIndicator::GetTotal() const {
  return total;
}

std::int32_t ProgressIndicator::ScaledFraction(std::uint32_t n) const {
  return TruncateScaled(Fraction(), n);
}

double ProgressIndicator::Fraction() const {
  return SafeFraction(position, total);
}

std::int32_t ProgressIndicator::OverallScaledFraction(std::uint32_t n) const {
  return TruncateScaled(OverallFraction(), n);
}

double ProgressIndicator::OverallFraction() const {
  return SafeFraction(overallDone, overallTotal);
}

std::string ProgressIndicator::CountText() const {
  return PairText(position, total);
}

std::string ProgressIndicator::OverallCountText() const {
  if (overallTotal <= 1) return std::string();
  return PairText(overallDone, overallTotal);
}

bool ProgressIndicator::Draw() {
  return false;
}

void ProgressIndicator::ResetSharedState() {
  liveCount = 0;
  overallDone = 0;
  overallTotal = 0;
  lastDrawMs = 0.0;
}

ConsoleProgressBar::ConsoleProgressBar(const std::string& caption, std::uint32_t total)
    : ProgressIndicator(caption, total) {}

ConsoleProgressBar::~ConsoleProgressBar() {
  EraseLine();
  position = 0;
  total = 0;
  lineWidth = 0;
  shown = false;
}

bool ConsoleProgressBar::Reset() {
  EraseLine();
  ProgressIndicator::Reset();
  lineWidth = 0;
  return true;
}

bool ConsoleProgressBar::Draw() {
  const std::string counts = OverallCountText();

  std::string bar(kBarCells, '.');
  if (GetTotal() > 0) {
    const std::int32_t cells = static_cast<std::int32_t>(kBarCells);
    const std::int32_t done = std::clamp(OverallScaledFraction(kBarCells), 0, cells);
    bar.replace(0, static_cast<std::size_t>(done), static_cast<std::size_t>(done), '*');
  }

  // No line feed ever: the carriage return lets the next line overwrite this
  // one, and a shorter line leaves the old tail visible.
  const std::string line = caption + kGap + counts + kGap + bar + "\r";
  platform::System().WriteError(line);

  lineWidth = std::max(lineWidth, static_cast<std::uint32_t>(line.size()));
  shown = true;
  return true;
}

void ConsoleProgressBar::EraseLine() {
  if (!shown) return;
  platform::System().WriteError(std::string(lineWidth, ' ') + "\r");
  // The next indicator constructed starts its 100 ms wait afresh.
  lastDrawMs = 0.0;
}

}  // namespace quill
