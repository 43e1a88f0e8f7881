// Keeps the unit tests' dump entries and the launcher's alternative work
// folder out of the machine's shared documents folder: before every test both
// are pointed into a scratch folder of this test process. Tests that look at
// dump files point the dump folder elsewhere themselves.
#include <gtest/gtest.h>

#include "environment/dump_log.h"
#include "launcher/cycles.h"
#include "support/scratch_folder.h"

namespace quill::testing {
namespace {

class DumpFolderRedirect : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo& /*test*/) override {
    SetDumpFolderBaseForTesting(folder_.Path());
    SetAlternativeWorkBaseForTesting(folder_.Path());
  }

 private:
  ScratchFolder folder_;
};

const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new DumpFolderRedirect);
  return true;
}();

}  // namespace
}  // namespace quill::testing
