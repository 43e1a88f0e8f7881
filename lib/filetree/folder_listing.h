// Listing one folder level and filtering the listing by a `*` wildcard: they
// only read (copying is in filetree/file_copy.h).
#pragma once

#include <string>

#include "paths/tokenize.h"

namespace quill {

// The entries of `folder` (one level, "." and ".." left out) as full paths:
// the folder with a trailing `\` followed by the name; folders end in `\`.
// Empty when the folder cannot be searched; an empty `folder` lists the
// current folder as bare names.
StringList ReadFolder(const std::string& folder);

// ReadFolder of `path` less one trailing separator when that is a folder,
// else of the folder that holds it.
StringList ListFolderOf(const char* path);

// The file entries of ListFolderOf(folder) whose names match `pattern`.
StringList FindFilesInFolder(const char* folder, const std::string& pattern);

// The entries that are not folders (no trailing `\` or `/`) and whose names
// match `pattern`, in order. Shows an "Extract files ..." progress line while
// it works through ten entries or more.
StringList FilterByPattern(const StringList& entries, const std::string& pattern);

// True when the name after the last separator of `path` matches `pattern`,
// ignoring case. `*` stands for any run of characters; there is no other
// wildcard. An empty pattern and "*" match every name, "*.*" every name with
// a dot.
bool MatchesPattern(const std::string& path, const std::string& pattern);

// `list` without its empty strings, order kept.
// Offered by design; no program calls it.
StringList DropEmpty(const StringList& list);

// True when the folder `path` (or, when `path` is no folder, the folder that
// holds it) has no entries, or cannot be searched.
bool IsFolderEmpty(const char* path);

}  // namespace quill
