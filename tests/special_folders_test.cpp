#include "environment/special_folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "environment/temp_folder.h"
#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/environment.h"
#include "support/scoped_environment.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::Exists;
using test::ScopedEnvironmentValue;
using test::ScratchFolder;

// A name no other test or user has, for folders made under /tmp.
std::string UniqueUser() {
  std::random_device device;
  return "quill-user-" + std::to_string(device()) + "-" + std::to_string(device());
}

TEST(SpecialFolder, KnownAndUnknownIdentifiers) {
  for (int id : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_COMMON_DOCUMENTS}) {
    const std::string folder = SpecialFolder(id);
    EXPECT_FALSE(folder.empty()) << id;
    EXPECT_EQ(SpecialFolderPath(nullptr, id), folder) << id;
  }
  EXPECT_TRUE(FolderExists(SpecialFolder(CSIDL_COMMON_DOCUMENTS)));
  EXPECT_TRUE(FolderExists(SpecialFolder(CSIDL_SYSTEM)));
  EXPECT_EQ(SpecialFolder(0x7E), "");
  EXPECT_FALSE(UserName().empty());
}

TEST(TempFolder, TheSystemsPathWithTheWindowsRule) {
  if (!platform::kWindows) GTEST_SKIP() << "POSIX reports no temporary path";
  // GetTempPathA takes TMP first, so the test chooses what the system reports.
  ScratchFolder scratch;
  const std::string shared =
      AddTrailingSeparator(SpecialFolder(CSIDL_COMMON_DOCUMENTS)) + "Temp\\Temp";
  {
    ScopedEnvironmentValue tmp("TMP", scratch.Path().c_str());
    EXPECT_EQ(TempFolder(), scratch.Path() + "\\");
  }
  {
    ScopedEnvironmentValue tmp("TMP", "C:\\WINDOWS\\TEMP");
    EXPECT_EQ(TempFolder(), shared);
  }
  {
    const std::string odd = scratch.Path() + "\\OldWiNdOwSFiles\\tmp";
    ScopedEnvironmentValue tmp("TMP", odd.c_str());
    EXPECT_EQ(TempFolder(), shared);
    EXPECT_FALSE(Exists(scratch.Join("OldWiNdOwSFiles")));
  }
}

TEST(TempFolder, EnvironmentValuesAreTakenAsTheyAre) {
  if (platform::kWindows) GTEST_SKIP() << "Windows always reports a temporary path";
  ScopedEnvironmentValue tmp("TMP", "/nowhere/Windows/tmp");
  ScopedEnvironmentValue tmpdir("TMPDIR", "/var/tmp");
  ScopedEnvironmentValue temp("TEMP", "/temp-value");
  EXPECT_EQ(TempFolder(), "/nowhere/Windows/tmp");
  EXPECT_FALSE(Exists("/nowhere"));
  {
    ScopedEnvironmentValue emptyTmp("TMP", "");
    EXPECT_EQ(TempFolder(), "/var/tmp");
    ScopedEnvironmentValue noTmpdir("TMPDIR", nullptr);
    EXPECT_EQ(TempFolder(), "/temp-value");
  }
  EXPECT_EQ(TempFolder(), "/nowhere/Windows/tmp");
}

TEST(TempFolder, LastFallbackIsAFolderOfTheUserUnderTmp) {
  if (platform::kWindows) GTEST_SKIP() << "Windows always reports a temporary path";
  ScopedEnvironmentValue tmp("TMP", nullptr);
  ScopedEnvironmentValue tmpdir("TMPDIR", "");
  ScopedEnvironmentValue temp("TEMP", nullptr);
  const std::string user = UniqueUser();
  {
    ScopedEnvironmentValue userValue("USER", user.c_str());
    ScopedEnvironmentValue userName("USERNAME", "other");
    EXPECT_EQ(TempFolder(), "/tmp/" + user);
    EXPECT_TRUE(fs::is_directory("/tmp/" + user));
    fs::remove("/tmp/" + user);
  }
  {
    ScopedEnvironmentValue userValue("USER", "");
    ScopedEnvironmentValue userName("USERNAME", user.c_str());
    EXPECT_EQ(TempFolder(), "/tmp/" + user);
    EXPECT_TRUE(fs::is_directory("/tmp/" + user));
    fs::remove("/tmp/" + user);
  }
  {
    ScopedEnvironmentValue userValue("USER", nullptr);
    ScopedEnvironmentValue userName("USERNAME", nullptr);
    const bool existed = Exists("/tmp/___");
    EXPECT_EQ(TempFolder(), "/tmp/___");
    EXPECT_TRUE(fs::is_directory("/tmp/___"));
    std::error_code error;
    if (!existed) fs::remove("/tmp/___", error);
  }
}

}  // namespace
}  // namespace quill
