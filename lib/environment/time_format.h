// Times as text through a strftime format, in local time.
//
// Each result has at most 254 characters; a time that cannot be converted, a
// format that produces nothing and a text that does not fit all give "".
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace quill {

// The current local time (read once from the system clock), formatted.
std::string FormatLocalTime(const char* format);

// `calendarTime` (seconds since 1970-01-01 00:00:00 UTC) in local time,
// formatted; "" when this system cannot convert it (Windows refuses negative
// times).
std::string FormatTime(std::int64_t calendarTime, const char* format);

// A broken-down time formatted as it stands.
std::string FormatCalendarTime(const std::tm& time, const char* format);

}  // namespace quill
