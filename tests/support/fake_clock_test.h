// A test fixture for library code on the fake clock: a scratch folder that
// also receives the dump log, and the progress indicators' shared counts
// reset before and after.
#pragma once

#include <gtest/gtest.h>

#include "platform/testing.h"
#include "progress/progress_indicator.h"
#include "support/fake_services.h"
#include "support/scratch_folder.h"

namespace quill::test {

class FakeClockTest : public ::testing::Test {
 protected:
  void SetUp() override { ProgressIndicator::ResetSharedState(); }
  void TearDown() override { ProgressIndicator::ResetSharedState(); }

  FakeServices fake;
  ScratchFolder scratch;
  platform::ScopedSharedDocuments sharedDocuments{scratch.Path()};
};

}  // namespace quill::test
