#include "support/child_process.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/environment.h"
#include "platform/testing.h"

namespace quill::test {
namespace {

// One argument in double quotes as the Windows C runtime reads it back:
// backslashes before the closing quote are doubled.
std::string Quoted(const std::string& argument) {
  std::string quoted = "\"" + argument;
  const std::size_t last = argument.find_last_not_of('\\');
  const std::size_t trailing =
      last == std::string::npos ? argument.size() : argument.size() - 1 - last;
  quoted.append(trailing, '\\');
  return quoted + "\"";
}

}  // namespace

std::string ChildArgument(const std::string& name) {
  const std::string prefix = "--" + name + "=";
  for (const std::string& argument : ::testing::internal::GetArgvs()) {
    if (argument.compare(0, prefix.size(), prefix) == 0) return argument.substr(prefix.size());
  }
  return std::string();
}

std::vector<int> RunTestsInChildren(const std::string& testName, const std::string& argumentName,
                                    const std::vector<std::string>& values) {
  const std::string program = platform::ModuleFileName();
  std::vector<int> statuses(values.size(), -1);
  std::vector<std::thread> waiters;
  waiters.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string parameters = "--gtest_also_run_disabled_tests --gtest_brief=1 " +
                                   Quoted("--gtest_filter=" + testName) + " " +
                                   Quoted("--" + argumentName + "=" + values[i]);
    waiters.emplace_back([&statuses, i, program, parameters] {
      statuses[i] = platform::RunAndWait(program, parameters);
    });
  }
  for (std::thread& waiter : waiters) waiter.join();
  return statuses;
}

}  // namespace quill::test
