#include "environment/time_format.h"

#include <array>

#include "platform/services.h"

namespace quill {

std::string FormatLocalTime(const char* format) {
  return FormatTime(platform::System().CalendarTime(), format);
}

std::string FormatTime(std::int64_t calendarTime, const char* format) {
  std::tm local{};
  if (!platform::LocalTime(calendarTime, &local)) return std::string();
  return FormatCalendarTime(local, format);
}

std::string FormatCalendarTime(const std::tm& time, const char* format) {
  if (format == nullptr) format = "";
  // One byte short of the buffer: a text that does not fit in 254 characters
  // is dropped whole rather than cut.
  std::array<char, 256> buffer{};
  if (std::strftime(buffer.data(), buffer.size() - 1, format, &time) == 0) return std::string();
  return std::string(buffer.data());
}

}  // namespace quill
