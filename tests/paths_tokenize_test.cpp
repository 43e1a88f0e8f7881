#include <gtest/gtest.h>

#include <string>

#include "paths/tokenize.h"

namespace quill {
namespace {

TEST(Tokenize, SplitAtBackslash) {
  EXPECT_EQ(SplitString("a\\b\\c", '\\'), (StringList{"a", "b", "c"}));
  EXPECT_EQ(SplitString("a\\\\b", '\\'), (StringList{"a", "", "b"}));
  EXPECT_EQ(SplitString("\\a", '\\'), (StringList{"", "a"}));
  EXPECT_EQ(SplitString("a\\", '\\'), (StringList{"a"}));
  EXPECT_EQ(SplitString("\\", '\\'), (StringList{""}));
  EXPECT_EQ(SplitString("", '\\'), StringList{});
  EXPECT_EQ(SplitString("\\\\server\\share", '\\'), (StringList{"", "", "server", "share"}));
  EXPECT_EQ(SplitString("abc", '\\'), (StringList{"abc"}));
  EXPECT_EQ(SplitString("a*b*", '*'), (StringList{"a", "b"}));
}

TEST(Tokenize, QuotesShieldDelimiters) {
  EXPECT_EQ(Tokenize("a,'b,c',d", ","), (StringList{"a", "'b,c'", "d"}));
  EXPECT_EQ(Tokenize("a,\"b,c\",d", ","), (StringList{"a", "\"b,c\"", "d"}));
  EXPECT_EQ(Tokenize("'a,b", ","), (StringList{"'a,b"}));
  EXPECT_EQ(Tokenize("x,\"a,b", ","), (StringList{"x", "\"a,b"}));
  EXPECT_EQ(Tokenize("x'y,z", ","), (StringList{"x'y", "z"}));
  // Text after the closing quote belongs to the same token.
  EXPECT_EQ(Tokenize("'a,b'c,d", ","), (StringList{"'a,b'c", "d"}));
  // A single quote does not close a double one.
  EXPECT_EQ(Tokenize("\"a,'b\",c", ","), (StringList{"\"a,'b\"", "c"}));
  EXPECT_EQ(Tokenize("''", ","), (StringList{"''"}));
}

TEST(Tokenize, DelimiterSets) {
  EXPECT_EQ(Tokenize("a b\tc", " \t"), (StringList{"a", "b", "c"}));
  EXPECT_EQ(Tokenize(",a", ","), (StringList{"", "a"}));
  EXPECT_EQ(Tokenize("a b", ""), (StringList{"a b"}));
  EXPECT_EQ(Tokenize("a b", nullptr), (StringList{"a b"}));
  EXPECT_EQ(Tokenize("\xA5\\x", "\\"), (StringList{"\xA5", "x"}));
}

TEST(Tokenize, JoinStrings) {
  EXPECT_EQ(JoinStrings({}, "\\"), "");
  EXPECT_EQ(JoinStrings({"a"}, '\\'), "a");
  EXPECT_EQ(JoinStrings({"a", "", "b"}, '\\'), "a\\\\b");
  EXPECT_EQ(JoinStrings({"", ""}, ","), ",");
  EXPECT_EQ(JoinStrings({"a", "b", "c"}, ", "), "a, b, c");
  EXPECT_EQ(JoinStrings({"a", "b"}, ""), "ab");

  StringList letters;
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    const std::string letter(1, static_cast<char>('a' + i % 26));
    letters.push_back(letter);
    if (i > 0) expected += ',';
    expected += letter;
  }
  EXPECT_EQ(JoinStrings(letters, ','), expected);
  EXPECT_EQ(SplitString(expected, ','), letters);
}

TEST(Tokenize, NormalizeSeparators) {
  const struct {
    const char* path;
    const char* normal;
  } cases[] = {
      {"C:/dir//sub/", "C:\\dir\\sub"},
      {"C:\\dir\\\\\\sub\\", "C:\\dir\\sub"},
      {"\\\\server\\share\\\\dir\\", "\\\\server\\share\\dir"},
      {"//server/share/dir", "\\\\server\\share\\dir"},
      {"/a/b", "\\a\\b"},
      {"a\\\\b", "a\\\\b"},
      {"C:\\\\dir", "C:\\\\dir"},
      {"C:\\", "C:"},
      {"\\", ""},
      {"/", ""},
      {"", ""},
      {"a\\\\", "a"},
      {"a\\\\\\", "a\\"},
      {"\\\\\\\\x", "\\\\x"},
      {"C:/'a//b'/c", "C:\\'a//b'\\c"},
      {"a\\b/c\\d", "a\\b\\c\\d"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormalizeSeparators(c.path), c.normal) << c.path;
  }
  EXPECT_EQ(NormalizeSeparators("C:\\dir\\\\sub\\", '/'), "C:/dir/sub");
  EXPECT_EQ(NormalizeSeparators("\\\\srv\\sh", '/'), "//srv/sh");
}

}  // namespace
}  // namespace quill
