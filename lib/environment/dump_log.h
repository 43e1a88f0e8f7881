// The debug dump log: hourly text files in one folder shared by all users and
// processes, the system's only record of failures.
//
// The writer keeps state for the process's one thread: the dump folder as
// last walked (held open), whether old files were queued yet, and the guard
// against a record asked for while one is written. A record that cannot be
// stored is dropped; the answer says only whether it was stored.
#pragma once

#include <string>

// FlattenLineBreaks, with the lines it flattens for.
#include "environment/dump_line.h"

namespace quill {

// Appends `text` as one entry line (time stamp, program name, text with its
// line breaks flattened) to this hour's dump file. True when it was stored.
bool WriteDumpEntry(const std::string& text);
// The same entry; always answers true, whether it was stored or not.
bool WriteDumpEntry(const char* text);

// Appends `bytes` to this hour's dump file, after a header line when the
// file is new. False when the file cannot be opened (nothing is written), and
// for a record asked for while another one is being written, which is dropped.
bool WriteDumpRecord(std::string bytes);

}  // namespace quill
