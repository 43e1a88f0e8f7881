// The three forms of a report: a table, JSON Lines and an SVG timeline.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/cycles.h"

namespace quill::report {

// Local time of a calendar time in milliseconds: "YYYY-MM-DD HH:MM:SS.mmm";
// in UTC where the system has no local time for it (Windows before 1970, as
// a planted file's write time can be), since every form needs the width.
std::string LocalTimeText(std::int64_t ms);
// "YYYY-MM-DD HH:MM:SS" of a calendar time in seconds, in UTC.
std::string UtcText(std::int64_t calendarTime);

// The readable table: "work folder: <folder>", a heading, one aligned line
// per cycle, then the summary lines.
std::string TableText(const std::string& folder, const std::vector<Cycle>& cycles,
                      const Summary& summary);

// JSON Lines: one object per cycle, then one summary object, each on its own
// line. The fields are listed in the manual page.
std::string JsonLines(const std::string& folder, const std::vector<Cycle>& cycles,
                      const Summary& summary);

// Width and height in pixels of the timeline of `cycles`.
struct PictureSize {
  int width = 0;
  int height = 0;
};
PictureSize TimelineSize(const std::vector<Cycle>& cycles);

// The timeline as an SVG document of TimelineSize(cycles): one row per cycle,
// time since its start across, the input at 0, outputs and failure entries
// as marks, a legend and axis labels.
std::string TimelineSvg(const std::string& folder, const std::vector<Cycle>& cycles);

}  // namespace quill::report
