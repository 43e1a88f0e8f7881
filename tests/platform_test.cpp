// The platform layer: command-line splitting, the stand-ins that make POSIX
// answer as Windows does, and starting programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/command_line.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/reading.h"
#include "platform/services.h"
#include "platform/shared_tree.h"
#include "platform/testing.h"
#include "support/current_folder.h"
#include "support/fake_services.h"
#include "support/scratch_folder.h"

namespace quill {
namespace {

using platform::SplitCommandLine;
using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsLikeTheWindowsRuntime) {
  EXPECT_EQ(SplitCommandLine(""), Arguments{});
  EXPECT_EQ(SplitCommandLine("  \t "), Arguments{});
  EXPECT_EQ(SplitCommandLine("a b\tc"), (Arguments{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\a b\\083015.in_\""), Arguments{"C:\\a b\\083015.in_"});
  EXPECT_EQ(SplitCommandLine("ab\"c d\"e f"), (Arguments{"abc de", "f"}));
  EXPECT_EQ(SplitCommandLine("\"\""), Arguments{""});
  EXPECT_EQ(SplitCommandLine("a \"\" b"), (Arguments{"a", "", "b"}));
  // Backslashes are literal unless a double quote follows them.
  EXPECT_EQ(SplitCommandLine("a\\\\b\\c"), Arguments{"a\\\\b\\c"});
  EXPECT_EQ(SplitCommandLine("a\\\\\"b c\""), Arguments{"a\\b c"});
  EXPECT_EQ(SplitCommandLine("a\\\\\\\"b c"), (Arguments{"a\\\"b", "c"}));
  EXPECT_EQ(SplitCommandLine("\\\"x"), Arguments{"\"x"});
  EXPECT_EQ(SplitCommandLine("trailing\\"), Arguments{"trailing\\"});
  // A group left open runs to the end.
  EXPECT_EQ(SplitCommandLine("\"open group  x"), Arguments{"open group  x"});
  // Shell characters are ordinary text.
  EXPECT_EQ(SplitCommandLine("$(rm) ;|`x`"), (Arguments{"$(rm)", ";|`x`"}));
}

TEST(CommandLine, QuotedArgumentsSplitBackUnchanged) {
  const std::vector<std::string> samples = {
      "",       "plain",        "two words",         "tab\there", "quote\"inside",
      "ends\\", "ends with \\", "\\\\server\\share", "x\\\"y",    "line\nbreak",
      "\"",     "\\\\\""};
  std::string commandLine;
  for (const std::string& sample : samples) {
    commandLine += platform::QuoteArgument(sample) + " ";
    EXPECT_EQ(SplitCommandLine(platform::QuoteArgument(sample)), Arguments{sample}) << sample;
  }
  EXPECT_EQ(SplitCommandLine(commandLine), samples);
  EXPECT_EQ(platform::QuoteArgument("a b\\c"), "\"a b\\c\"");
}

TEST(Services, AFakeIsInForceForItsLifetime) {
  platform::Services* before = &platform::System();
  {
    test::FakeServices fake;
    EXPECT_EQ(&platform::System(), &fake);
    platform::System().Sleep(300);
    EXPECT_EQ(fake.CalendarTime(), fake.calendarStart);
    platform::System().Sleep(700);
    EXPECT_EQ(fake.CalendarTime(), fake.calendarStart + 1);
    EXPECT_EQ(fake.TickCount(), fake.tickStart + 1000u);
  }
  EXPECT_EQ(&platform::System(), before);
}

// The path's status as FileStatus asks for it, and its attribute bits.
int StatPath(const char* path, platform::EntryStatus* out) {
  return platform::QueryStatus(path, platform::StatusOf::kPath, out);
}
std::uint32_t GetAttributes(const char* path) {
  platform::EntryStatus status;
  return platform::QueryStatus(path, platform::StatusOf::kAnyName, &status) == 0
             ? status.attributes
             : platform::kInvalidAttributes;
}

TEST(Stat, RefusesWhatTheWindowsStatRefuses) {
  test::ScratchFolder scratch;
  std::string file = scratch.WriteFile("five.txt", "12345");
  platform::EntryStatus record;
  ASSERT_EQ(StatPath(file.c_str(), &record), 0);
  EXPECT_EQ(record.kind, platform::EntryKind::kFile);
  EXPECT_EQ(record.size, 5);
  EXPECT_GT(record.modifyTimeMs, 1'600'000'000'000);

  ASSERT_EQ(StatPath(scratch.Path().c_str(), &record), 0);
  EXPECT_EQ(record.kind, platform::EntryKind::kFolder);
  EXPECT_EQ(record.size, 0);

  EXPECT_EQ(StatPath(scratch.Join("five.tx?").c_str(), &record), 2);
  EXPECT_EQ(StatPath(scratch.Join("*.txt").c_str(), &record), 2);
  EXPECT_EQ(StatPath((scratch.Path() + "\\").c_str(), &record), 2);
  EXPECT_EQ(StatPath((scratch.Path() + "/").c_str(), &record), 2);
  EXPECT_EQ(StatPath((file + "\\x").c_str(), &record), 2);
  EXPECT_EQ(StatPath(scratch.Join("missing").c_str(), &record), 2);
  EXPECT_EQ(StatPath("", &record), 2);

  // The cheaper existence query answers as the status query does.
  for (const std::string& name :
       {file, scratch.Path(), scratch.Join("five.tx?"), scratch.Path() + "\\", file + "\\x",
        scratch.Join("missing"), std::string()}) {
    EXPECT_EQ(StatPath(name.c_str(), nullptr) == 0, StatPath(name.c_str(), &record) == 0) << name;
  }

  const char* root = platform::kWindows ? "C:\\" : "/";
  ASSERT_EQ(StatPath(root, &record), 0);
  EXPECT_EQ(record.kind, platform::EntryKind::kFolder);
  if (!platform::kWindows) {
    // Backslashes become slashes only at the system call.
    EXPECT_EQ(StatPath("\\", &record), 0);
    std::string backslashed = file;
    for (char& c : backslashed) {
      if (c == '/') c = '\\';
    }
    EXPECT_EQ(StatPath(backslashed.c_str(), &record), 0);
  }
}

TEST(Attributes, ReadOnlyHiddenFolderAndNormal) {
  test::ScratchFolder scratch;
  std::string file = scratch.WriteFile("plain.txt");
  std::string folder = scratch.MakeFolder("sub");
  EXPECT_EQ(GetAttributes(scratch.Join("missing").c_str()), platform::kInvalidAttributes);
  EXPECT_NE(GetAttributes(folder.c_str()) & platform::kAttributeFolder, 0u);

  std::uint32_t before = GetAttributes(file.c_str());
  ASSERT_NE(before, platform::kInvalidAttributes);
  EXPECT_EQ(before & platform::kAttributeReadOnly, 0u);
  ASSERT_TRUE(platform::SetAttributes(file.c_str(), before | platform::kAttributeReadOnly));
  EXPECT_NE(GetAttributes(file.c_str()) & platform::kAttributeReadOnly, 0u);
  EXPECT_FALSE(platform::RemoveFile(file.c_str()));  // as the Windows removal refuses it
  ASSERT_TRUE(platform::SetAttributes(file.c_str(), before & ~platform::kAttributeReadOnly));
  EXPECT_EQ(GetAttributes(file.c_str()) & platform::kAttributeReadOnly, 0u);
  EXPECT_FALSE(platform::SetAttributes(scratch.Join("missing").c_str(), 0));

  if (!platform::kWindows) {
    EXPECT_EQ(before, platform::kAttributeNormal);
    std::string dotted = scratch.WriteFile(".profile");
    EXPECT_EQ(GetAttributes(dotted.c_str()), platform::kAttributeHidden);
    EXPECT_EQ(GetAttributes(scratch.WriteFile(".a").c_str()), platform::kAttributeHidden);
    // Hidden is the name here: it can be neither set nor cleared.
    EXPECT_FALSE(platform::SetAttributes(dotted.c_str(), platform::kAttributeNormal));
    EXPECT_FALSE(platform::SetAttributes(file.c_str(), platform::kAttributeHidden));
    EXPECT_FALSE(platform::SetAttributes(file.c_str(), platform::kAttributeSystem));
    EXPECT_EQ(GetAttributes(folder.c_str()), platform::kAttributeFolder);
    const std::string hiddenFolder = scratch.MakeFolder(".cache") + "\\";
    EXPECT_EQ(GetAttributes(hiddenFolder.c_str()),
              platform::kAttributeHidden | platform::kAttributeFolder);
  }
}

TEST(Files, CreateTruncatesAndListsAndCopies) {
  test::ScratchFolder scratch;
  // Closing a file closes nothing else: standard input, open here whatever
  // earlier tests did, is as it was.
  ASSERT_NE(std::freopen(platform::kWindows ? "NUL" : "/dev/null", "rb", stdin), nullptr);
  const auto input = [] { return std::filesystem::symlink_status("/proc/self/fd/0").type(); };
  const std::filesystem::file_type inputBefore = input();
  std::string file = scratch.WriteFile("data.bin", "12345");
  ASSERT_TRUE(platform::CreateEmptyFileAt(file.c_str()));
  EXPECT_EQ(test::ReadWholeFile(file), "");
  EXPECT_FALSE(platform::CreateEmptyFileAt(scratch.Join("missing/x").c_str()));
  EXPECT_FALSE(platform::CreateEmptyFileAt(""));

  std::string folder = scratch.Join("made");
  EXPECT_TRUE(platform::MakeDirectory(folder.c_str()));
  EXPECT_FALSE(platform::MakeDirectory(folder.c_str()));

  std::string source = scratch.WriteFile("source.txt", "content");
  std::string copy = scratch.Join("made") + (platform::kWindows ? "\\" : "/") + "copy.txt";
  EXPECT_TRUE(platform::CopyFileOver(source.c_str(), copy.c_str()));
  EXPECT_EQ(test::ReadWholeFile(copy), "content");
  EXPECT_FALSE(platform::CopyFileOver(scratch.Join("missing").c_str(), copy.c_str()));
  // Nor is a folder copied, nor a copy made where no file can be opened.
  EXPECT_FALSE(platform::CopyFileOver(folder.c_str(), copy.c_str()));
  EXPECT_EQ(test::ReadWholeFile(copy), "content");
  EXPECT_FALSE(platform::CopyFileOver(source.c_str(), folder.c_str()));

  std::vector<platform::FolderEntryStatus> entries;
  ASSERT_TRUE(platform::ListFolder(scratch.Path() + "\\", &entries));
  int files = 0;
  int folders = 0;
  for (const auto& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    (entry.status.kind == platform::EntryKind::kFolder ? folders : files)++;
  }
  EXPECT_EQ(files, 2);
  EXPECT_EQ(folders, 1);
  std::vector<platform::FolderEntryStatus> none;
  EXPECT_FALSE(platform::ListFolder(scratch.Join("missing") + "\\", &none));
  std::vector<platform::FolderEntryStatus> noStatus;
  EXPECT_FALSE(platform::ListFolderWithStatus(scratch.Join("missing"), &noStatus));
  std::vector<platform::FolderEntryStatus> root;
  EXPECT_TRUE(platform::ListFolderWithStatus(platform::kWindows ? "C:\\" : "/", &root));
  // A read that fails ends the data as the end of the file does.
  if (std::FILE* listed = platform::OpenStream(scratch.Path().c_str(), "rb")) {
    char byte = 0;
    EXPECT_EQ(platform::ReadFileData(listed, &byte, 1), 0u);
    std::fclose(listed);
  }
  const char* inRoot = platform::kWindows ? "windows" : "usr";
  EXPECT_TRUE(
      std::any_of(root.begin(), root.end(), [&](const auto& e) { return e.name == inRoot; }));

  EXPECT_FALSE(platform::RemoveFile(folder.c_str()));
  EXPECT_FALSE(platform::RemoveFolder(folder.c_str()));  // not empty
  EXPECT_TRUE(platform::RemoveFile(copy.c_str()));
  EXPECT_TRUE(platform::RemoveFolder(folder.c_str()));
  EXPECT_FALSE(test::Exists(folder));
  EXPECT_EQ(input(), inputBefore);

  // Streams that write: "w" starts the file afresh, "a" appends.
  for (const auto& [mode, expected] : {std::pair{"wb", "x"}, std::pair{"ab", "contentx"}}) {
    std::FILE* stream = platform::OpenStream(source.c_str(), mode);
    ASSERT_NE(stream, nullptr);
    std::fputs("x", stream);
    std::fclose(stream);
    EXPECT_EQ(test::ReadWholeFile(source), expected) << mode;
    scratch.WriteFile("source.txt", "content");
  }
}

// A file that another process has mapped cannot be cut on Windows: emptying
// it is reported as failed, its bytes stay, and once it is let go it empties.
TEST(Files, AFileThatCannotBeCutIsNotReportedAsEmptied) {
  test::ScratchFolder scratch;
  const std::string file = scratch.WriteFile("mapped.in_", "12345");
  {
    platform::FileMappedForTesting mapped(file.c_str());
    if (!mapped.Mapped()) GTEST_SKIP() << "a mapped file is cut all the same here";
    EXPECT_FALSE(platform::CreateEmptyFileAt(file.c_str()));
    EXPECT_EQ(test::ReadWholeFile(file), "12345");
  }
  EXPECT_TRUE(platform::CreateEmptyFileAt(file.c_str()));
  EXPECT_EQ(test::ReadWholeFile(file), "");
}

// A program started with its standard input closed gets descriptor 0 from
// its first open, and every open takes it as a descriptor like any other;
// the folder walk is deep enough that a later level gets it too.
TEST(Files, OpensTakeDescriptorZeroAsAnyOther) {
  test::ScratchFolder scratch;
  const std::string deep = scratch.MakeFolder("a/b/c");
  const std::string file = scratch.WriteFile("a/b/c/file.txt", "x");
  const platform::SharedFolder held = platform::OpenGuardedFolder(deep);
  platform::StandardInputClosedForTesting closed;
  if (!closed.Closed()) GTEST_SKIP() << "handles have no descriptor numbers here";
  EXPECT_TRUE(platform::OpenGuardedFolder(deep).IsOpen());
  bool refused = true;
  std::FILE* hour = platform::OpenSharedFile(held, "hour.txt", &refused);
  EXPECT_TRUE(platform::AppendRecord(hour, nullptr, "record\n"));
  if (hour != nullptr) std::fclose(hour);
  std::FILE* read = platform::OpenPlainFileForReading(file.c_str());
  char byte = 0;
  EXPECT_EQ(platform::ReadFileData(read, &byte, 1), 1u);
  if (read != nullptr) std::fclose(read);
  std::vector<platform::FolderEntryStatus> entries;
  EXPECT_TRUE(platform::ListFolderWithStatus(deep, &entries));
  EXPECT_EQ(entries.size(), 2u);
  EXPECT_TRUE(platform::CreateEmptyFileAt(file.c_str()));
}

// A folder is reached level by level wherever it lies, inside the shared
// documents folder and outside it, also where the other's name is shorter
// or longer; what is missing or no folder is not reached.
TEST(Files, GuardedFoldersAreReachedInsideAndOutsideTheSharedFolder) {
  test::ScratchFolder scratch;
  const std::string shared = scratch.MakeFolder("s");
  platform::ScopedSharedDocuments documents(shared);
  const std::string file = scratch.WriteFile("plain.txt");
  for (const auto& [path, reached] :
       {std::pair{scratch.MakeFolder("s/inside/deeper"), true},
        std::pair{scratch.MakeFolder("outside-with-a-longer-name/x"), true},
        std::pair{shared + "/./inside//deeper", true}, std::pair{scratch.Path(), true},
        std::pair{scratch.Join("missing/x"), false}, std::pair{file, false}}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(platform::OpenGuardedFolder(path).IsOpen(), reached);
    EXPECT_FALSE(platform::IsUntrustedLink(path));
  }
}

TEST(Files, EmptyFileCreationRefusesASymbolicLink) {
  if (platform::kWindows) GTEST_SKIP() << "symbolic links at a file's name are a POSIX concern";
  test::ScratchFolder scratch;
  std::string victim = scratch.WriteFile("victim.txt", "keep me");
  std::string link = scratch.Join("planted.in_");
  std::filesystem::create_symlink(victim, link);
  EXPECT_FALSE(platform::CreateEmptyFileAt(link.c_str()));
  EXPECT_EQ(platform::OpenStream(link.c_str(), "ab"), nullptr);
  EXPECT_EQ(test::ReadWholeFile(victim), "keep me");

  // A link to a folder is listed as a folder; a full disk ends a copy.
  std::filesystem::create_directory_symlink(scratch.MakeFolder("target"),
                                            scratch.Join("to-folder"));
  std::vector<platform::FolderEntryStatus> entries;
  ASSERT_TRUE(platform::ListFolder(scratch.Path(), &entries));
  std::set<std::string> folders;
  for (const auto& entry : entries) {
    if (entry.status.kind == platform::EntryKind::kFolder) folders.insert(entry.name);
  }
  EXPECT_EQ(folders, (std::set<std::string>{".", "..", "target", "to-folder"}));
  EXPECT_FALSE(platform::CopyFileOver(victim.c_str(), "/dev/full"));
  // Reading this process's memory at offset 0 fails: a read error ends a copy.
  EXPECT_FALSE(platform::CopyFileOver("/proc/self/mem", scratch.Join("mem").c_str()));
}

TEST(Environment, ProcessQueries) {
  std::string module = platform::ModuleFileName();
  std::string expectedEnd = std::string("quill_tests") + platform::kProgramSuffix;
  ASSERT_GE(module.size(), expectedEnd.size());
  EXPECT_EQ(module.substr(module.size() - expectedEnd.size()), expectedEnd);
  EXPECT_FALSE(platform::CurrentDirectory().empty());
  EXPECT_FALSE(platform::UserName().empty());
  if (!platform::kWindows) {  // the whole name, as the system's own tool gives it
    test::ScratchFolder scratch;
    ASSERT_EQ(platform::RunAndWait("/bin/sh", "-c \"id -un >&2\"", scratch.Join("id")), 0);
    EXPECT_EQ(platform::UserName() + "\n", test::ReadWholeFile(scratch.Join("id")));
  }
  EXPECT_EQ(platform::EnvironmentValue("QUILL_SURELY_NOT_SET"), "");
  EXPECT_EQ(platform::LongPathName("no such thing"), "no such thing");
  using platform::ShellFolder;
  using platform::ShellFolderId;
  // An independent check of the shell's own values, which Windows answers to.
  EXPECT_EQ(ShellFolderId(ShellFolder::kCommonDocuments), 0x2E);
  EXPECT_EQ(ShellFolderId(ShellFolder::kWindows), 0x24);
  EXPECT_FALSE(
      platform::SpecialFolderPath(nullptr, ShellFolderId(ShellFolder::kCommonDocuments)).empty());
  EXPECT_FALSE(platform::SpecialFolderPath(nullptr, ShellFolderId(ShellFolder::kWindows)).empty());
  EXPECT_EQ(platform::SpecialFolderPath(nullptr, 0x7F), "");
  if (platform::kWindows) {
    EXPECT_FALSE(platform::SystemTempPath().empty());
  } else {
    EXPECT_EQ(platform::SystemTempPath(), "");
    for (const auto& [folder, path] : {std::pair{ShellFolder::kCommonDocuments, "/var/tmp"},
                                       std::pair{ShellFolder::kProgramFiles, "/opt"},
                                       std::pair{ShellFolder::kWindows, "/usr/local/bin"},
                                       std::pair{ShellFolder::kSystem, "/usr/bin"}}) {
      EXPECT_EQ(platform::SpecialFolderPath(nullptr, ShellFolderId(folder)), path);
    }
    return;
  }
  // A missing special folder is made only when the query asks for it.
  const int documents = ShellFolderId(ShellFolder::kCommonDocuments);
  const std::string shared = platform::SpecialFolderPath(nullptr, documents);
  std::filesystem::rename(shared, shared + ".kept");
  platform::SpecialFolderPath(nullptr, documents);
  EXPECT_FALSE(std::filesystem::exists(shared));
  EXPECT_EQ(platform::SpecialFolderPath(nullptr, documents | platform::kShellFolderCreate), shared);
  EXPECT_TRUE(std::filesystem::is_directory(shared));
  std::error_code ignored;
  std::filesystem::remove(shared, ignored);
  std::filesystem::rename(shared + ".kept", shared, ignored);
}

// The temporary fallback's folder of the user's name is made with its
// missing parents on Windows (on POSIX it lies one level below /tmp, whose
// parents are the system's) and refused when a file or a link stands at any
// level of it.
TEST(Environment, PrivateFolderIsMadeWholeAndRefusesWhatStandsInTheWay) {
  namespace fs = std::filesystem;
  struct Case {
    const char* planted;  // at "have"
    const char* path;
    bool made;
    bool onPosix = true;
  };
  for (const Case& c :
       {Case{"", "one", true}, Case{"", "a/b\\c", true, false}, Case{"folder", "have", true},
        Case{"file", "have", false}, Case{"file", "have/x/y", false}, Case{"link", "have", false},
        Case{"link", "have/x", false, false}}) {
    SCOPED_TRACE(std::string(c.planted) + " " + c.path);
    if (!c.onPosix && !platform::kWindows) continue;
    test::ScratchFolder scratch;
    const std::string victim = scratch.MakeFolder("victim");
    const std::string planted = c.planted;
    if (planted == "folder") fs::create_directory(scratch.Join("have"));
    if (planted == "folder") fs::permissions(scratch.Join("have"), fs::perms::owner_all);
    if (planted == "file") scratch.WriteFile("have");
    if (planted == "link" && !platform::MakeLinkForTesting(victim, scratch.Join("have"), true)) {
      continue;  // not on Wine
    }
    const std::string path = scratch.Path() + "\\" + c.path;
    EXPECT_EQ(platform::MakePrivateFolder(path.c_str()), c.made);
    EXPECT_TRUE(fs::is_empty(victim));
  }
  if (platform::kWindows) {
    // A path of the long form begins with two separators as a network path
    // does: only its prefix and drive are reached, every missing level below
    // them is made, the first below the drive too.
    test::ScratchFolder scratch;
    EXPECT_TRUE(platform::MakePrivateFolder(("\\\\?\\" + scratch.Path() + "\\a\\b").c_str()));
    EXPECT_TRUE(fs::is_directory(scratch.Join("a/b")));
    {
      // Rooted on the current drive, without its letter.
      test::CurrentFolderScope here(scratch.Path());
      EXPECT_TRUE(platform::MakePrivateFolder((scratch.Path().substr(2) + "\\rooted").c_str()));
      EXPECT_TRUE(fs::is_directory(scratch.Join("rooted")));
    }
    const std::string top = "C:\\quill-long-" + std::to_string(platform::ProcessIdForTesting());
    EXPECT_TRUE(platform::MakePrivateFolder(("\\\\?\\" + top + "\\a").c_str()));
    EXPECT_TRUE(fs::is_directory(top + "\\a"));
    fs::remove_all(top);
  }
}

TEST(Time, LocalTimeFollowsThePlatform) {
  std::tm converted{};
  EXPECT_TRUE(platform::LocalTime(86400 * 365, &converted));
  EXPECT_EQ(converted.tm_year, 71);
  // Far past 2038.
  EXPECT_TRUE(platform::LocalTime(4'102'444'800 + 86400 * 2, &converted));
  EXPECT_EQ(converted.tm_year, 200);
  EXPECT_EQ(platform::LocalTime(-86400, &converted), !platform::kWindows);
}

TEST(Processes, RefusedStartsGiveTheShellsCodes) {
  test::ScratchFolder scratch;
  platform::ShellRequest request;
  std::string missing = scratch.Join("missing.exe");
  request.file = missing.c_str();
  EXPECT_EQ(platform::RealServices().ExecuteShellRequest(request), 2u);
  std::string noFolder = scratch.Join("no-folder") + (platform::kWindows ? "\\" : "/") + "x.exe";
  request.file = noFolder.c_str();
  platform::ShellResult result = platform::RealServices().ExecuteShellRequest(request);
  if (platform::kWindows) {
    // Windows says 3 here; Wine's shell says 2.
    EXPECT_TRUE(result == 2u || result == 3u) << result;
  } else {
    // Every start, refused or not, leaves this process's descriptors as they were.
    namespace fs = std::filesystem;
    const auto descriptors = [] {
      return std::distance(fs::directory_iterator("/proc/self/fd"), {});
    };
    const auto descriptorsBefore = descriptors();
    EXPECT_EQ(result, 3u);
    request.file = "/quill-no-such-program";  // the root is a folder that exists
    EXPECT_EQ(platform::RealServices().ExecuteShellRequest(request), 2u);
    std::string folder = scratch.MakeFolder("folder");
    request.file = folder.c_str();
    EXPECT_EQ(platform::RealServices().ExecuteShellRequest(request), 31u);
    request.file = missing.c_str();
    request.operation = "print";
    EXPECT_EQ(platform::RealServices().ExecuteShellRequest(request), 31u);
    request.operation = "open";  // the one verb known here: the file is looked for
    EXPECT_EQ(platform::RealServices().ExecuteShellRequest(request), 2u);
    // A bare name in the current folder wins over the search path: this
    // "true" is no program, so its start is refused as a bad format.
    const std::string text = scratch.WriteFile("true", "text");
    fs::permissions(text, fs::perms::owner_exec, fs::perm_options::add);
    request.file = "true";
    {
      test::CurrentFolderScope inScratch(scratch.Path());
      EXPECT_EQ(platform::RealServices().ExecuteShellRequest(request), 11u);
    }
    // A converter installed without execute permission: access denied.
    const std::string unrunnable = scratch.WriteFile("unrunnable", "#!/bin/sh\n");
    request.file = unrunnable.c_str();
    EXPECT_EQ(platform::RealServices().ExecuteShellRequest(request), 5u);
    const std::string belowFile = text + "/x";
    request.file = belowFile.c_str();
    EXPECT_EQ(platform::RealServices().ExecuteShellRequest(request), 3u);
    EXPECT_EQ(descriptors(), descriptorsBefore);
  }
}

TEST(Processes, RunAndWaitReportsTheExitStatus) {
  std::string self = platform::ModuleFileName();
  EXPECT_EQ(platform::RunAndWait(self, "--gtest_filter=NoSuchTest.Nothing"), 0);
  test::ScratchFolder scratch;
  EXPECT_EQ(platform::RunAndWait(scratch.Join("missing"), ""), -1);
}

}  // namespace
}  // namespace quill
