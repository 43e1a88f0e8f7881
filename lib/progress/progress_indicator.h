// A console progress indicator for loops and waits of a known number of steps.
//
// `ProgressIndicator` counts: a caption, a position out of a total, fractions
// and count texts. All live indicators share one overall count, so indicators
// nested inside each other report one figure. `ConsoleProgressBar` draws that
// as one line on the standard error stream, rewritten in place behind a
// carriage return and never ended with a line feed.
//
// An indicator only counts once a total of at least 10 is accepted, and the
// line is redrawn at most once every 100 ms across all indicators. Indicators
// live on one thread; the shared counters are plain unlocked data.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

class ProgressIndicator {
 public:
  // Number of live indicators; a negative value counts as 0. Setting it to 0
  // makes the next indicator constructed start a fresh overall count while
  // others are still alive.
  static inline std::int32_t liveCount = 0;

  // Joins the shared count (restarting it when no indicator is alive) and
  // applies SetTotal(total).
  explicit ProgressIndicator(const std::string& caption = std::string(), std::uint32_t total = 0);
  virtual ~ProgressIndicator();
  ProgressIndicator(const ProgressIndicator&) = delete;
  ProgressIndicator& operator=(const ProgressIndicator&) = delete;

  // Position and total back to 0 (inert again); the shared count is kept.
  virtual bool Reset();
  // SetCaption(caption) then SetTotal(total); always true.
  virtual bool Start(const std::string& caption, std::uint32_t total);
  // Accepts totals of 10 and more and adds the change to the overall total;
  // false (nothing changed) for smaller totals.
  virtual bool SetTotal(std::uint32_t total);
  // Replaces the caption; true.
  virtual bool SetCaption(const std::string& caption);
  // Advances by one, wrapping to 0 after the total, and redraws when the whole
  // percentage changed. False when inert.
  virtual bool Step();
  // Moves to `position` and redraws when 100 ms have passed since the last
  // redraw of any indicator. False (nothing changed) beyond the total.
  virtual bool SetPosition(std::uint32_t position);
  virtual std::uint32_t GetPosition() const;
  virtual std::uint32_t GetTotal() const;
  // Fraction() × n, truncated toward zero.
  virtual std::int32_t ScaledFraction(std::uint32_t n) const;
  // position / total; 0.0 without a total or beyond it.
  virtual double Fraction() const;
  // OverallFraction() × n, truncated toward zero.
  virtual std::int32_t OverallScaledFraction(std::uint32_t n) const;
  // Overall done / overall total; 0.0 without a total or beyond it.
  virtual double OverallFraction() const;
  // "( position / total )".
  virtual std::string CountText() const;
  // "( done / total )" of the overall count, or empty while its total is 0 or 1.
  virtual std::string OverallCountText() const;
  // Renders the indicator; this class draws nothing and answers false.
  virtual bool Draw();

  // The same with a NUL-terminated caption; null counts as empty.
  bool Start(const char* caption, std::uint32_t total);
  bool SetCaption(const char* caption);

  // The shared overall count.
  static std::uint32_t OverallDone() { return overallDone; }
  static std::uint32_t OverallTotal() { return overallTotal; }

  // For tests only, with no indicator alive: returns all shared state,
  // the redraw clock included, to its start values.
  static void ResetSharedState();

 protected:
  std::string caption;
  std::uint32_t position = 0;
  std::uint32_t total = 0;
  bool shown = false;

  // Steps done by all indicators since the count last restarted.
  static inline std::uint32_t overallDone = 0;
  // Sum of the accepted totals since the count last restarted.
  static inline std::uint32_t overallTotal = 0;
  // Tick count in ms of the last redraw; 0.0 means not set.
  static inline double lastDrawMs = 0.0;
};

// A ProgressIndicator that draws "caption    ( done / total )    " and a bar
// of 20 cells ("*" done, "." to do) for the overall count on stderr.
class ConsoleProgressBar : public ProgressIndicator {
 public:
  explicit ConsoleProgressBar(const std::string& caption = std::string(), std::uint32_t total = 0);
  // Erases the line when one was drawn.
  ~ConsoleProgressBar() override;

  // Erases the line when one was drawn, then as ProgressIndicator::Reset.
  bool Reset() override;
  // Writes the line, ended by a carriage return; true.
  bool Draw() override;

 protected:
  // Length of the longest line written since the last erase, "\r" included.
  std::uint32_t lineWidth = 0;

 private:
  void EraseLine();
};

}  // namespace quill
