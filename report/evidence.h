// Reading a work folder and the hourly dump files, without writing anything
// and without following a link.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/cycles.h"

namespace quill::report {

// The files of `folder` (one level) with their last write times, counts of
// names and owners. Entries that are links, folders or anything but plain
// files are left out. False,
// with `problem` saying why, when `folder` is no plain folder or cannot be
// listed.
bool ReadWorkFolder(const std::string& folder, std::vector<FileTime>* files, std::string* problem);

// Where launcher works: ChooseWorkFolder for this process's temporary folder
// and the alternative under the shared documents folder. Creates nothing.
std::string DefaultWorkFolder();

// launcher's choice of work folder, given its temporary folder: the temporary
// folder counts as it is when the system or the environment names it; the
// fallback named after the user counts only when it is missing (launcher
// would make it) or this user's private folder, a real one. Answers
// `<temporary folder>\r_Quill.tmp\launcher\` when that counts and exists,
// else `alternative` when that exists, else the first when the temporary
// folder counts and `alternative` when it does not.
std::string ChooseWorkFolder(const std::string& temporaryFolder, bool isUserFallback,
                             const std::string& alternative);

// `<shared documents folder>\Temp\Temp\DbgDump\WZ\`.
std::string DefaultDumpFolder();

// The most read of one hourly dump file, holes not counted: a file that others
// can write costs bounded time.
constexpr std::int64_t kMaxDumpFileBytes = std::int64_t{64} << 20;

// Counts into `cycles` (ordered by start) the entries that can matter
// (TakeDumpLine) of the named files of `dumpFolder` that are plain files with
// one name, read in pieces of bounded size past holes, each line cut to
// kMaxDumpLineBytes and at most `maxFileBytes` of each file. The paths of
// the files that held more.
std::vector<std::string> ReadDumpEntries(const std::string& dumpFolder,
                                         const std::vector<std::string>& fileNames,
                                         std::vector<Cycle>* cycles,
                                         std::int64_t maxFileBytes = kMaxDumpFileBytes);

}  // namespace quill::report
