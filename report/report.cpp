#include "report/report.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/reading.h"
#include "platform/services.h"
#include "report/cycles.h"
#include "report/evidence.h"
#include "report/forms.h"
#include "report/options.h"
#include "report/visible_text.h"

namespace quill::report {
namespace {

constexpr char kProgram[] = "quill-report: ";

// Writes the picture only over a file of this user's with no other name: a
// FIFO, link, folder or another user's file at the name is refused and left
// alone. The picture goes to a new file beside it that takes the name only
// once it is whole, so a full disk or a file size limit leaves the earlier
// picture as it was.
bool WriteWholeFile(const std::string& path, const std::string& content) {
  if (!platform::CanReplace(path.c_str())) return false;
  std::string fresh;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(platform::CreateFileBeside(path, &fresh),
                                                         std::fclose);
  if (!stream) return false;
  const bool written =
      std::fwrite(content.data(), 1, content.size(), stream.get()) == content.size();
  const bool closed = std::fclose(stream.release()) == 0;
  if (written && closed && platform::RenameOver(fresh.c_str(), path.c_str())) return true;
  std::remove(fresh.c_str());
  return false;
}

// The library writes paths with `\`; a Linux user reads them with `/`.
std::string NativeSpelling(std::string path) {
  if (!platform::kWindows) std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace

ReportResult RunReport(const std::vector<std::string>& arguments) {
  ReportResult result;
  const Options options = ParseOptions(arguments, platform::System().CalendarTime());
  if (!options.error.empty()) {
    result.status = kFailed;
    result.error = kProgram + TerminalText(options.error) + "\n" + UsageText();
    return result;
  }
  if (options.help) {
    result.output = UsageText();
    return result;
  }

  const std::string folder =
      NativeSpelling(options.folder.empty() ? DefaultWorkFolder() : options.folder);
  std::vector<FileTime> files;
  std::string problem;
  if (!ReadWorkFolder(folder, &files, &problem)) {
    result.status = kFailed;
    result.error = kProgram + TerminalText(problem) + "\n";
    return result;
  }

  const Selection selection = options.all        ? Selection::kAll
                              : options.hasSince ? Selection::kSince
                                                 : Selection::kLatestRun;
  std::vector<Cycle> cycles = SelectCycles(FindCycles(files), selection, options.sinceMs);
  const std::string dumpFolder =
      options.dumpFolder.empty() ? DefaultDumpFolder() : options.dumpFolder;
  const std::vector<std::string> cut = ReadDumpEntries(dumpFolder, DumpFileNames(cycles), &cycles);
  Summary summary = Summarize(cycles);
  for (const std::string& file : cut) {
    summary.dumpFilesCut.push_back(NativeSpelling(file));
    result.error += kProgram + std::string("read only the first ") +
                    std::to_string(kMaxDumpFileBytes >> 20) + " MiB of " +
                    TerminalText(summary.dumpFilesCut.back()) + "\n";
  }

  if (options.json) {
    result.output = JsonLines(folder, cycles, summary);
    result.error = std::string(kProgram) + "read " + TerminalText(folder) + "\n" + result.error;
  } else {
    result.output = TableText(folder, cycles, summary);
  }
  if (!options.svgFile.empty() && !WriteWholeFile(options.svgFile, TimelineSvg(folder, cycles))) {
    result.status = kFailed;
    result.error += kProgram + std::string("cannot write ") + TerminalText(options.svgFile) + "\n";
    return result;
  }
  result.status = summary.answered == summary.cycles ? kAllAnswered : kSomeUnanswered;
  return result;
}

}  // namespace quill::report
