// Reading a work folder and the hourly dump files, without writing anything
// and without following a link.
#pragma once

#include <string>
#include <vector>

#include "report/cycles.h"

namespace quill::report {

// The files of `folder` (one level) with their last write times. Entries
// that are links, folders or anything but plain files are left out. False,
// with `problem` saying why, when `folder` is no plain folder or cannot be
// listed.
bool ReadWorkFolder(const std::string& folder, std::vector<FileTime>* files, std::string* problem);

// Where launcher works: `<temporary folder>\r_Quill.tmp\launcher\` when that
// folder exists, else the one under the shared documents folder when that
// exists, else the first.
std::string DefaultWorkFolder();

// `<shared documents folder>\Temp\Temp\DbgDump\WZ\`.
std::string DefaultDumpFolder();

// The entries of the named files of `dumpFolder` that exist as plain files.
std::vector<DumpEntry> ReadDumpEntries(const std::string& dumpFolder,
                                       const std::vector<std::string>& fileNames);

}  // namespace quill::report
