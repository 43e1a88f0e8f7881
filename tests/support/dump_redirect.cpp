// Keeps the unit tests' dump entries and the launcher's alternative work
// folder out of the machine's shared documents folder: during every test that
// folder is a scratch folder of this test process. Tests that look at dump
// files place it elsewhere themselves, inside the test.
#include <gtest/gtest.h>

#include <memory>

#include "platform/testing.h"
#include "support/scratch_folder.h"

namespace quill::test {
namespace {

class DumpFolderRedirect : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo& /*test*/) override {
    redirect_ = std::make_unique<platform::ScopedSharedDocuments>(folder_.Path());
  }
  void OnTestEnd(const ::testing::TestInfo& /*test*/) override { redirect_.reset(); }

 private:
  ScratchFolder folder_;
  std::unique_ptr<platform::ScopedSharedDocuments> redirect_;
};

const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new DumpFolderRedirect);
  return true;
}();

}  // namespace
}  // namespace quill::test
