#include "report/options.h"

#include <ctime>
#include <iterator>

#include "platform/services.h"
#include "report/report.h"

namespace quill::report {
namespace {

// Reads `digits` digits at `*at` and steps over them.
bool TakeNumber(const std::string& text, std::size_t* at, int digits, int* value) {
  if (*at + digits > text.size()) return false;
  *value = 0;
  for (int i = 0; i < digits; ++i) {
    const char c = text[*at + i];
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + (c - '0');
  }
  *at += digits;
  return true;
}

bool TakeChar(const std::string& text, std::size_t* at, char expected) {
  if (*at >= text.size() || text[*at] != expected) return false;
  ++*at;
  return true;
}

// "HH:MM" or "HH:MM:SS" from `*at` to the end of `text`.
bool TakeTimeOfDay(const std::string& text, std::size_t at, std::tm* time) {
  int hour = 0, minute = 0, second = 0;
  if (!TakeNumber(text, &at, 2, &hour) || !TakeChar(text, &at, ':') ||
      !TakeNumber(text, &at, 2, &minute)) {
    return false;
  }
  if (at < text.size() && (!TakeChar(text, &at, ':') || !TakeNumber(text, &at, 2, &second))) {
    return false;
  }
  if (at != text.size() || hour > 23 || minute > 59 || second > 60) return false;
  time->tm_hour = hour;
  time->tm_min = minute;
  time->tm_sec = second;
  return true;
}

// Days of `month` (1 to 12) of the Gregorian `year`.
int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool ParseSinceTime(const std::string& text, std::int64_t nowSeconds, std::int64_t* ms) {
  std::tm time{};
  std::size_t at = 0;
  int year = 0, month = 0, day = 0;
  const bool hasDate = TakeNumber(text, &at, 4, &year) && TakeChar(text, &at, '-') &&
                       TakeNumber(text, &at, 2, &month) && TakeChar(text, &at, '-') &&
                       TakeNumber(text, &at, 2, &day);
  if (hasDate) {
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    if (at != text.size()) {
      if (text[at] != ' ' && text[at] != 'T') return false;
      if (!TakeTimeOfDay(text, at + 1, &time)) return false;
    }
  } else {
    std::tm today{};
    if (!platform::LocalTime(nowSeconds, &today) || !TakeTimeOfDay(text, 0, &time)) return false;
    time.tm_year = today.tm_year;
    time.tm_mon = today.tm_mon;
    time.tm_mday = today.tm_mday;
  }
  time.tm_isdst = -1;
  // -1 is also the second before 1970 in UTC: only a call that set the day of
  // the week succeeded.
  time.tm_wday = -1;
  const std::time_t seconds = std::mktime(&time);
  if (seconds == static_cast<std::time_t>(-1) && time.tm_wday < 0) return false;
  *ms = static_cast<std::int64_t>(seconds) * 1000;
  return true;
}

Options ParseOptions(const std::vector<std::string>& arguments, std::int64_t nowSeconds) {
  Options options;
  auto fail = [&options](const std::string& why) {
    if (options.error.empty()) options.error = why;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    // "--name=value" and "--name value" alike for the options with a value.
    std::string name = argument, value;
    bool hasValue = false;
    const std::size_t equals = argument.find('=');
    if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
      hasValue = true;
    }
    auto takeValue = [&]() {
      if (hasValue) return true;
      if (i + 1 >= arguments.size()) {
        fail(name + " needs a value");
        return false;
      }
      value = arguments[++i];
      return true;
    };
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--all" && !hasValue) {
      options.all = true;
    } else if (name == "--json" && !hasValue) {
      options.json = true;
    } else if (name == "--since") {
      if (!takeValue()) continue;
      options.hasSince = ParseSinceTime(value, nowSeconds, &options.sinceMs);
      if (!options.hasSince) fail("--since: not a time: " + value);
    } else if (name == "--svg") {
      if (!takeValue()) continue;
      options.svgFile = value;
      if (value.empty()) fail("--svg needs a file name");
    } else if (name == "--dump-folder") {
      if (!takeValue()) continue;
      options.dumpFolder = value;
      if (value.empty()) fail("--dump-folder needs a folder");
    } else if (argument.size() > 1 && argument[0] == '-') {
      fail("unknown option " + argument);
    } else if (options.folder.empty() && !argument.empty()) {
      options.folder = argument;
    } else {
      fail("extra argument " + argument);
    }
  }
  if (options.all && options.hasSince) fail("--all and --since exclude each other");
  return options;
}

std::string UsageText() {
  // Two forms to a line.
  std::string forms;
  for (std::size_t i = 0; i < std::size(kSinceForms); ++i) {
    if (i > 0) forms += i % 2 == 0 ? ",\n                      " : ", ";
    forms += kSinceForms[i];
  }
  return std::string(
             "usage: quill-report [options] [WORK_FOLDER]\n"
             "Reports what each hand-off cycle of launcher did: start, answer, latency,\n"
             "late outputs and the dump log's failure entries. It only reads.\n"
             "\n"
             "  WORK_FOLDER         the folder to read; default: where launcher works\n"
             "  --all               every run in the folder (default: the latest run)\n"
             "  --since TIME        the cycles that start at TIME or later, in local\n"
             "                      time; TIME is one of\n"
             "                      ") +
         forms +
         "\n"
         "                      (a date alone is its midnight, a time alone today's)\n"
         "  --json              JSON Lines: one object per cycle, then a summary\n"
         "  --svg FILE          also draw the cycles as a timeline into FILE (SVG)\n"
         "  --dump-folder DIR   read the hourly dump files from DIR\n"
         "  --help              this text\n"
         "\n"
         "Exit status: " +
         std::to_string(kAllAnswered) + " every cycle answered (also when there is none), " +
         std::to_string(kSomeUnanswered) + " some not,\n" + std::to_string(kFailed) + " " +
         kFailedCauses + ".\n";
}

}  // namespace quill::report
