#include "filetree/folder_listing.h"

#include <string_view>
#include <vector>

#include "paths/file_status.h"
#include "paths/internal.h"
#include "paths/path_strings.h"
#include "platform/files.h"
#include "progress/progress_indicator.h"

namespace quill {
namespace {

bool IsSelfOrParent(const std::string& name) {
  return name == "." || name == "..";
}

// `path` less one trailing separator, or its folder when that is no folder.
std::string FolderOfPath(const char* path) {
  std::string folder = RemoveTrailingSeparator(path);
  if (!FileStatus(folder).IsFolder()) folder = PathFolder(folder);
  return folder;
}

}  // namespace

StringList ReadFolder(const std::string& folder) {
  const std::string base = AddTrailingSeparator(folder, '\\');
  std::vector<platform::FolderEntryStatus> entries;
  StringList result;
  if (!platform::ListFolder(base, &entries)) return result;
  result.reserve(entries.size());
  for (const platform::FolderEntryStatus& entry : entries) {
    if (entry.name.empty() || IsSelfOrParent(entry.name)) continue;
    result.push_back(base + (entry.status.kind == platform::EntryKind::kFolder
                                 ? AddTrailingSeparator(entry.name, '\\')
                                 : entry.name));
  }
  return result;
}

StringList ListFolderOf(const char* path) {
  return ReadFolder(FolderOfPath(path));
}

StringList FindFilesInFolder(const char* folder, const std::string& pattern) {
  return FilterByPattern(ListFolderOf(folder), pattern);
}

StringList FilterByPattern(const StringList& entries, const std::string& pattern) {
  ConsoleProgressBar bar("Extract files ...", static_cast<std::uint32_t>(entries.size()));
  StringList kept;
  for (const std::string& entry : entries) {
    bar.Step();
    const char last = LastChar(entry);
    if (last == '\\' || last == '/') continue;
    if (MatchesPattern(entry, pattern)) kept.push_back(entry);
  }
  return kept;
}

bool MatchesPattern(const std::string& path, const std::string& pattern) {
  const std::string name = ToLower(PathLeaf(path));
  const std::string pat = ToLower(pattern);
  if (pat.empty() || pat == "*") return true;
  if (pat == "*.*") return name.find('.') != std::string::npos;

  // The non-empty runs between the stars, walked in place.
  const std::string_view pieces(pat);
  std::string_view first, last;
  std::string::size_type from = 0;
  std::string::size_type cursor = 0;
  while (cursor < pieces.size()) {
    // As in SplitString, a piece that opens with a quote runs to its closing
    // quote before a star can end it, and to the end without one.
    std::string::size_type searchFrom = cursor;
    if (pieces[cursor] == '"' || pieces[cursor] == '\'') {
      const std::string::size_type close = pieces.find(pieces[cursor], cursor + 1);
      searchFrom = close == std::string_view::npos ? pieces.size() : close + 1;
    }
    std::string::size_type star = pieces.find('*', searchFrom);
    if (star == std::string_view::npos) star = pieces.size();
    if (star > cursor) {
      const std::string_view piece = pieces.substr(cursor, star - cursor);
      const std::string::size_type at = name.find(piece.data(), from, piece.size());
      if (at == std::string::npos) return false;
      from = at + piece.size();
      if (first.empty()) first = piece;
      last = piece;
    }
    cursor = star + 1;
  }
  if (first.empty()) return true;
  if (pat.front() != '*' && name.compare(0, first.size(), first) != 0) return false;
  if (LastChar(pat) != '*' && (name.size() < last.size() ||
                               name.compare(name.size() - last.size(), last.size(), last) != 0)) {
    return false;
  }
  return true;
}

StringList DropEmpty(const StringList& list) {
  StringList kept;
  kept.reserve(list.size());
  for (const std::string& item : list) {
    if (!item.empty()) kept.push_back(item);
  }
  return kept;
}

bool IsFolderEmpty(const char* path) {
  std::vector<platform::FolderEntryStatus> entries;
  if (!platform::ListFolder(AddTrailingSeparator(FolderOfPath(path), '\\'), &entries)) return true;
  for (const platform::FolderEntryStatus& entry : entries) {
    if (!IsSelfOrParent(entry.name)) return false;
  }
  return true;
}

}  // namespace quill
