#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "paths/file_status.h"
#include "paths/path_strings.h"
#include "platform/environment.h"

namespace quill {
namespace {

// Selects the first locale of `names` that the runtime knows, and the "C"
// locale again at the end.
class DoubleByteLocale {
 public:
  DoubleByteLocale() {
    static const char* const kWindowsNames[] = {".950", "Chinese_Taiwan.950"};
    static const char* const kPosixNames[] = {"zh_TW.BIG5", "zh_TW.big5"};
    for (const char* name : platform::kWindows ? kWindowsNames : kPosixNames) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        active_ = true;
        return;
      }
    }
  }
  ~DoubleByteLocale() { std::setlocale(LC_ALL, "C"); }
  bool Active() const { return active_; }

 private:
  bool active_ = false;
};

// "功" in BIG5 / code page 950: its trail byte is the backslash.
const std::string kTrailBackslash = "\xA5\x5C";

TEST(PathStrings, LastCharAndSurround) {
  EXPECT_EQ(LastChar(""), '\0');
  EXPECT_EQ(LastChar("abc"), 'c');
  EXPECT_EQ(LastChar("C:\\dir\\"), '\\');
  // In the "C" locale every byte is a character of its own.
  EXPECT_EQ(LastChar("C:\\" + kTrailBackslash), '\\');
  EXPECT_EQ(Surround("", '"'), "\"\"");
  EXPECT_EQ(Surround("C:\\a b", '"'), "\"C:\\a b\"");
  EXPECT_EQ(Surround("x", ' '), " x ");
}

TEST(PathStrings, DoubleByteCharacters) {
  DoubleByteLocale locale;
  if (!locale.Active()) GTEST_SKIP() << "no BIG5 / code page 950 locale on this system";
  const std::string path = "C:\\dir\\" + kTrailBackslash;
  EXPECT_EQ(LastChar(path), '\xA5');
  EXPECT_EQ(LastChar(kTrailBackslash + "a"), 'a');
  EXPECT_EQ(LastChar(kTrailBackslash), '\xA5');
  EXPECT_EQ(LastChar(path + "\\"), '\\');
  // A lead byte at the very end stands alone.
  EXPECT_EQ(LastChar("ab\xA5"), '\xA5');
  EXPECT_EQ(AddTrailingSeparator(path), path + "\\");
  EXPECT_EQ(RemoveTrailingSeparator(path), path);
  EXPECT_EQ(RemoveTrailingSeparator(path + "\\"), path);
  // "乙" has the trail byte 'A', which must not be lower-cased on its own.
  EXPECT_EQ(ToLower("AB\xA4\x41"
                    "C"),
            "ab\xA4\x41"
            "c");
}

TEST(PathStrings, TrailingSeparators) {
  EXPECT_EQ(AddTrailingSeparator(""), "");
  EXPECT_EQ(AddTrailingSeparator("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(AddTrailingSeparator("C:\\dir", '/'), "C:\\dir/");
  EXPECT_EQ(AddTrailingSeparator("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(AddTrailingSeparator("C:\\dir/"), "C:\\dir/");

  EXPECT_EQ(RemoveTrailingSeparator(""), "");
  EXPECT_EQ(RemoveTrailingSeparator(nullptr), "");
  EXPECT_EQ(RemoveTrailingSeparator("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(RemoveTrailingSeparator("C:\\dir/"), "C:\\dir");
  EXPECT_EQ(RemoveTrailingSeparator("C:\\dir\\\\"), "C:\\dir\\");
  EXPECT_EQ(RemoveTrailingSeparator("\\"), "");
  EXPECT_EQ(RemoveTrailingSeparator(std::string("C:\\")), "C:");
  EXPECT_EQ(RemoveTrailingSeparator("C:\\dir"), "C:\\dir");
}

TEST(PathStrings, FolderAndLeaf) {
  EXPECT_EQ(PathFolder("C:\\dir\\file.txt"), "C:\\dir");
  EXPECT_EQ(PathFolder("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(PathFolder("file.txt"), "\\");
  EXPECT_EQ(PathFolder("\\file"), "");
  EXPECT_EQ(PathFolder("a/b\\c/d"), "a/b");
  EXPECT_EQ(PathFolder(std::string("a/b/c")), "a/b");
  EXPECT_EQ(PathFolder(""), "\\");
  EXPECT_EQ(PathFolder(nullptr), "\\");

  EXPECT_EQ(PathLeaf("C:\\dir\\file.txt"), "file.txt");
  EXPECT_EQ(PathLeaf("C:\\dir\\"), "");
  EXPECT_EQ(PathLeaf("a/b\\c/d"), "c/d");
  EXPECT_EQ(PathLeaf("a/b/c"), "c");
  EXPECT_EQ(PathLeaf("file.txt"), "file.txt");
  EXPECT_EQ(PathLeaf(""), "");
}

TEST(PathStrings, StemAndExtension) {
  struct Case {
    const char* path;
    const char* stem;
    const char* extension;
  };
  const Case cases[] = {
      {"C:\\logs\\run.2024.txt", "run.2024", "txt"},
      {".profile", "", "profile"},
      {"name.", "name", ""},
      {"C:\\dir.d\\file", "file", ""},
      {"C:\\dir\\a", "a", ""},
      {"C:\\dir\\a?b.txt", "", ""},
      {"C:\\dir\\", "", ""},
      {"C:\\dir\\ ", "", ""},
      {"C:\\dir\\  .x", "  ", "x"},
      {"C:\\logs\\run*.txt", "run*", "txt"},
      {"a/b.c/d.e", "d", "e"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathStem(c.path), c.stem) << c.path;
    EXPECT_EQ(PathExtension(c.path), c.extension) << c.path;
    EXPECT_EQ(PathStem(std::string(c.path)), c.stem) << c.path;
    EXPECT_EQ(PathExtension(std::string(c.path)), c.extension) << c.path;
  }
  EXPECT_EQ(PathStem(nullptr), "");
  EXPECT_EQ(PathExtension(nullptr), "");
}

TEST(PathStrings, ToLowerInTheCLocale) {
  EXPECT_EQ(ToLower(""), "");
  EXPECT_EQ(ToLower("C:\\Program Files\\KESTREL.EXE"), "c:\\program files\\kestrel.exe");
  // Only A to Z change; other bytes pass through.
  EXPECT_EQ(ToLower("@[`{\xC4\xD6"), "@[`{\xC4\xD6");
}

TEST(PathStrings, CopyToBufferStaysInsideTheBuffer) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(CopyToBuffer(buffer, 8, "abcdefg"));
  EXPECT_STREQ(buffer, "abcdefg");

  // One byte short: the text is cut and still ends with a NUL inside.
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(CopyToBuffer(buffer, 7, "abcdefg"));
  EXPECT_STREQ(buffer, "abcdef");
  EXPECT_EQ(buffer[7], 'x');

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(CopyToBuffer(buffer, 0, "abc"));
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_FALSE(CopyToBuffer(nullptr, 8, "abc"));

  EXPECT_FALSE(CopyToBuffer(buffer, 1, "abc"));
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(CopyToBuffer(buffer, 1, nullptr));
  EXPECT_EQ(buffer[0], '\0');
}

TEST(PathStrings, ModulePathNamesThisProgram) {
  const std::string path = ModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(ToLower(PathLeaf(path)), std::string("quill_tests") + platform::kProgramSuffix);
  EXPECT_TRUE(PathExists(path));
  int local = 0;
  EXPECT_EQ(ModulePath(&local), "");
}

}  // namespace
}  // namespace quill
