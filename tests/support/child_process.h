// Running test cases of this test binary in child processes, for tests that
// need several processes at once or a normal program exit.
//
// The child case is a disabled test that does its work only when its argument
// is on the command line:
//
//   TEST(Writer, DISABLED_Run) {
//     const std::string folder = quill::test::ChildArgument("writer-folder");
//     if (folder.empty()) return;
//     ...
//   }
//   RunTestsInChildren("Writer.DISABLED_Run", "writer-folder", {a, b, c});
#pragma once

#include <string>
#include <vector>

namespace quill::test {

// The value of "--<name>=<value>" on this process's command line, or empty.
std::string ChildArgument(const std::string& name);

// Runs the test `testName` of this binary in one child process per value,
// all at the same time, each with "--<argumentName>=<value>", and waits for
// all of them. The exit statuses, in the order of `values`; -1 where a child
// could not be started or its status could not be collected (POSIX processes
// that have let the kernel reap their children cannot collect it).
std::vector<int> RunTestsInChildren(const std::string& testName, const std::string& argumentName,
                                    const std::vector<std::string>& values);

}  // namespace quill::test
