// The timeline picture, written as plain SVG text.
#include <algorithm>
#include <cstdio>

#include "environment/time_format.h"
#include "report/forms.h"
#include "report/visible_text.h"

namespace quill::report {
namespace {

constexpr int kWidth = 960;
constexpr int kLeft = 230;   // row labels
constexpr int kRight = 110;  // latency text
constexpr int kTop = 64;
constexpr int kRowHeight = 22;
constexpr int kBottom = 112;  // axis, its label and the legend

constexpr char kInputColour[] = "#222222";
constexpr char kAnswerColour[] = "#1a9641";
constexpr char kLateColour[] = "#f39c12";
constexpr char kFailureColour[] = "#d7191c";
constexpr char kUnansweredBand[] = "#fbd5d5";

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// The span across, in ms: the latest mark, at least 5 s, rounded up to whole
// 5 s and no more than a cycle's longest window (later marks sit at the edge).
std::int64_t SpanMs(const std::vector<Cycle>& cycles) {
  std::int64_t latest = 5000;
  for (const Cycle& cycle : cycles) {
    for (std::int64_t offset : cycle.outputOffsetsMs) latest = std::max(latest, offset);
    for (const DumpEntry& entry : cycle.entries) {
      latest = std::max(latest, entry.timeMs - cycle.startMs);
    }
  }
  latest = std::min(latest, kRunGapMs);
  return (latest + 4999) / 5000 * 5000;
}

struct Scale {
  std::int64_t spanMs;
  double X(std::int64_t offsetMs) const {
    const std::int64_t clamped = std::clamp<std::int64_t>(offsetMs, 0, spanMs);
    return kLeft + static_cast<double>(clamped) * (kWidth - kLeft - kRight) / spanMs;
  }
};

std::string Circle(double x, double y, double radius, const char* colour) {
  return "<circle cx=\"" + Number(x) + "\" cy=\"" + Number(y) + "\" r=\"" + Number(radius) +
         "\" fill=\"" + colour + "\" stroke=\"#ffffff\" stroke-width=\"1\"/>\n";
}

std::string Cross(double x, double y, double half) {
  return "<path d=\"M" + Number(x - half) + " " + Number(y - half) + "L" + Number(x + half) + " " +
         Number(y + half) + "M" + Number(x - half) + " " + Number(y + half) + "L" +
         Number(x + half) + " " + Number(y - half) + "\" stroke=\"" + kFailureColour +
         "\" stroke-width=\"2\"/>\n";
}

std::string InputBar(double x, double y) {
  return "<rect x=\"" + Number(x - 1.5) + "\" y=\"" + Number(y - 8) +
         "\" width=\"3\" height=\"16\" fill=\"" + kInputColour + "\"/>\n";
}

std::string Text(double x, double y, const std::string& text, const char* extra = "") {
  return "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\"" + extra + ">" + XmlText(text) +
         "</text>\n";
}

}  // namespace

PictureSize TimelineSize(const std::vector<Cycle>& cycles) {
  const int rows = std::max<int>(1, static_cast<int>(cycles.size()));
  return {kWidth, kTop + rows * kRowHeight + kBottom};
}

namespace {

// The grid, one line a tick (a second up to 10 s, else five), the axis below
// the rows and its caption.
std::string Axis(const Scale& scale, int plotBottom) {
  std::string svg;
  const std::int64_t step = scale.spanMs <= 10000 ? 1000 : 5000;
  for (std::int64_t at = 0; at <= scale.spanMs; at += step) {
    const double x = scale.X(at);
    svg += "<line x1=\"" + Number(x) + "\" y1=\"" + std::to_string(kTop) + "\" x2=\"" + Number(x) +
           "\" y2=\"" + std::to_string(plotBottom + 4) +
           "\" stroke=\"#dddddd\" stroke-width=\"1\"/>\n";
    svg += Text(x, plotBottom + 18, std::to_string(at / 1000), " text-anchor=\"middle\"");
  }
  svg += "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + std::to_string(plotBottom) +
         "\" x2=\"" + std::to_string(kWidth - kRight) + "\" y2=\"" + std::to_string(plotBottom) +
         "\" stroke=\"#444444\" stroke-width=\"1\"/>\n";
  svg += Text((kLeft + kWidth - kRight) / 2.0, plotBottom + 36, "time since the cycle's start (s)",
              " text-anchor=\"middle\"");
  return svg;
}

// The row of the cycle in place `row`: its band, start and input, the input
// bar, the failure entries, the outputs and the latency.
std::string Row(const Cycle& cycle, std::size_t row, const Scale& scale) {
  const double top = kTop + static_cast<double>(row) * kRowHeight;
  const double middle = top + kRowHeight / 2.0;
  const bool ok = Answered(cycle);
  const char* band = !ok ? kUnansweredBand : (row % 2 == 0 ? "#f5f5f5" : "#ffffff");
  std::string svg = "<rect x=\"4\" y=\"" + Number(top + 1) + "\" width=\"" +
                    std::to_string(kWidth - 8) + "\" height=\"" + std::to_string(kRowHeight - 2) +
                    "\" fill=\"" + band + "\"/>\n";
  svg += Text(12, middle + 4, LocalTimeText(cycle.startMs).substr(11, 8) + "  " + cycle.input,
              ok ? "" : " fill=\"#b00000\" font-weight=\"bold\"");
  svg += InputBar(scale.X(0), middle);
  for (const DumpEntry& entry : cycle.entries) {
    svg += Cross(scale.X(entry.timeMs - cycle.startMs), middle, 4);
  }
  for (std::size_t i = 0; i < cycle.outputOffsetsMs.size(); ++i) {
    const bool answer = ok && i == 0;
    svg += Circle(scale.X(cycle.outputOffsetsMs[i]), middle, answer ? 6 : 4.5,
                  answer ? kAnswerColour : kLateColour);
  }
  svg += Text(kWidth - kRight + 10, middle + 4,
              ok ? Number(LatencyMs(cycle) / 1000.0) + " s" : "no answer",
              ok ? "" : " fill=\"#b00000\" font-weight=\"bold\"");
  return svg;
}

// The legend below the axis: every mark with what it stands for.
std::string Legend(int plotBottom) {
  const double y = plotBottom + 68;
  double x = 12;
  std::string svg = InputBar(x + 4, y);
  svg += Text(x + 14, y + 4, "input (cycle start)");
  x += 150;
  svg += Circle(x + 4, y, 6, kAnswerColour);
  svg += Text(x + 16, y + 4, "output that answered");
  x += 170;
  svg += Circle(x + 4, y, 4.5, kLateColour);
  svg += Text(x + 14, y + 4, "late output");
  x += 110;
  svg += Cross(x + 4, y, 4);
  svg += Text(x + 14, y + 4, "failure entry (dump log)");
  x += 190;
  svg += "<rect x=\"" + Number(x) + "\" y=\"" + Number(y - 8) +
         "\" width=\"24\" height=\"16\" fill=\"" + kUnansweredBand + "\"/>\n";
  svg += Text(x + 32, y + 4, "unanswered cycle");
  return svg;
}

}  // namespace

// The document: its frame and headings, then the axis, a row a cycle and the
// legend.
std::string TimelineSvg(const std::string& folder, const std::vector<Cycle>& cycles) {
  const PictureSize size = TimelineSize(cycles);
  const Scale scale{SpanMs(cycles)};
  const int rows = std::max<int>(1, static_cast<int>(cycles.size()));
  const int plotBottom = kTop + rows * kRowHeight;
  int answered = 0;
  for (const Cycle& cycle : cycles) answered += Answered(cycle) ? 1 : 0;

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(size.width) +
         "\" height=\"" + std::to_string(size.height) + "\" viewBox=\"0 0 " +
         std::to_string(size.width) + " " + std::to_string(size.height) +
         "\" font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"12\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  svg += Text(12, 22,
              "Hand-off cycles: " + std::to_string(cycles.size()) + ", answered " +
                  std::to_string(answered),
              " font-size=\"15\" font-weight=\"bold\"");
  svg += Text(12, 40, folder, " fill=\"#555555\"");
  svg += Text(12, kTop - 6, "cycle start, input", " font-weight=\"bold\"");
  svg += Text(kWidth - kRight + 10, kTop - 6, "latency", " font-weight=\"bold\"");
  svg += Axis(scale, plotBottom);
  for (std::size_t row = 0; row < cycles.size(); ++row) svg += Row(cycles[row], row, scale);
  if (cycles.empty()) svg += Text(kLeft, kTop + 15, "no cycles");
  svg += Legend(plotBottom);
  svg += "</svg>\n";
  return svg;
}

}  // namespace quill::report
