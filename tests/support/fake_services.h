// A fake clock, sleep, process start and error stream for unit tests.
//
// Constructing a FakeServices puts it in force until it is destroyed. Sleeping
// advances both the tick count and the calendar time, so a test of a cycle's
// polls runs at once and still sees their whole pause pass.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/services.h"

namespace quill::test {

struct RecordedStart {
  bool hasOperation = false;
  std::string operation;
  std::string file;
  bool hasParameters = false;
  std::string parameters;
  int showCommand = 0;
};

class FakeServices : public platform::ForwardingServices {
 public:
  // The special folders stay where the services before these placed them.
  FakeServices() : ForwardingServices(platform::System()), scope_(*this) {}

  // Calendar time at the start, and milliseconds passed since then.
  std::int64_t calendarStart = 1'700'000'001;
  std::uint64_t elapsedMs = 0;
  // Tick count at the start; the tick count wraps at 32 bits like the real one.
  std::uint32_t tickStart = 5'000;

  // What the fake shell answers; above 32 means accepted.
  platform::ShellResult shellResult = 42;

  std::vector<std::uint32_t> sleeps;
  std::vector<RecordedStart> starts;
  std::string errorOutput;

  // Called after each sleep has advanced the clock, and after each start.
  std::function<void()> onSleep;
  std::function<void(const RecordedStart&)> onStart;

  void Advance(std::uint64_t milliseconds) { elapsedMs += milliseconds; }
  std::uint64_t SleptMs() const {
    std::uint64_t total = 0;
    for (auto ms : sleeps) total += ms;
    return total;
  }

  std::int64_t CalendarTime() override {
    return calendarStart + static_cast<std::int64_t>(elapsedMs / 1000);
  }
  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(tickStart + elapsedMs); }
  void Sleep(std::uint32_t milliseconds) override {
    sleeps.push_back(milliseconds);
    elapsedMs += milliseconds;
    if (onSleep) onSleep();
  }
  platform::ShellResult ExecuteShellRequest(const platform::ShellRequest& request) override {
    RecordedStart start;
    start.hasOperation = request.operation != nullptr;
    start.operation = request.operation ? request.operation : "";
    start.file = request.file ? request.file : "";
    start.hasParameters = request.parameters != nullptr;
    start.parameters = request.parameters ? request.parameters : "";
    start.showCommand = request.showCommand;
    starts.push_back(start);
    if (onStart) onStart(start);
    return shellResult;
  }
  void WriteError(std::string_view bytes) override { errorOutput.append(bytes); }

 private:
  platform::ScopedServices scope_;
};

}  // namespace quill::test
