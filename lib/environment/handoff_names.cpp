#include "environment/handoff_names.h"

#include "environment/time_format.h"
#include "filetree/folder_listing.h"
#include "paths/path_strings.h"

namespace quill::handoff {
namespace {

constexpr char kWorkFolderName[] = "r_Quill.tmp";
constexpr char kHourFileFormat[] = "%m%d_%H";
constexpr char kHourFileSuffix[] = ".txt";

std::string Joined(std::string folder, const StringList& levels) {
  for (const std::string& level : levels) folder = AddTrailingSeparator(folder, '\\') + level;
  return folder;
}

}  // namespace

bool IsHandOffProgram(std::string_view programFile) {
  // Longer names cannot match; no need to lower-case a long text.
  constexpr std::size_t kLongest = sizeof kLauncherProgram - 1 + 4;
  if (programFile.size() > kLongest) return false;
  const std::string name = ToLower(std::string(programFile));
  for (const std::string program : {kLauncherProgram, kConverterProgram}) {
    if (name == program || name == program + ".exe") return true;
  }
  return false;
}

std::string WorkFolderBelow(const std::string& temporaryFolder, const std::string& programPath) {
  std::string folder = AddTrailingSeparator(temporaryFolder, '\\') + kWorkFolderName;
  folder = AddTrailingSeparator(folder, '\\') + PathStem(programPath);
  return AddTrailingSeparator(folder, '\\');
}

StringList AlternativeWorkLevels(const std::string& programPath) {
  StringList levels{"Temp", "Temp", kWorkFolderName};
  const std::string stem = PathStem(programPath);
  if (!stem.empty()) levels.push_back(stem);
  return levels;
}

std::string AlternativeWorkFolder(const std::string& sharedDocuments,
                                  const std::string& programPath) {
  std::string folder = Joined(sharedDocuments, {"Temp", "Temp", kWorkFolderName});
  return AddTrailingSeparator(folder, '\\') + PathStem(programPath);
}

std::string InputPath(const std::string& workFolder, const std::string& stamp) {
  return AddTrailingSeparator(workFolder, '\\') + stamp + kInputSuffix;
}

std::string OutputPath(const std::string& input) {
  return input + kOutputSuffix;
}

std::string NumberedName(const std::string& stemPath, std::uint32_t serial,
                         const std::string& extension) {
  serial %= kNumberedNames;
  std::string name = stemPath + ".";
  name += static_cast<char>('0' + serial / 100);
  name += static_cast<char>('0' + serial / 10 % 10);
  name += static_cast<char>('0' + serial % 10);
  return extension.empty() ? name : name + "." + extension;
}

std::string InputOfOutput(const std::string& name, bool numbered) {
  const std::string suffix = kOutputSuffix;
  if (!EndsWith(name, suffix)) return std::string();
  const std::string base = name.substr(0, name.size() - suffix.size());
  if (!numbered) return base;
  // ".NNN" before ".out", after at least one character of the input's name.
  if (base.size() < 5 || base[base.size() - 4] != '.') return std::string();
  for (std::size_t i = base.size() - 3; i < base.size(); ++i) {
    if (!IsDigit(base[i])) return std::string();
  }
  return base.substr(0, base.size() - 4);
}

bool IsInputName(const std::string& name) {
  return MatchesPattern(name, std::string("*") + kInputSuffix);
}

StringList DumpParentLevels() {
  return {"Temp", "Temp", "DbgDump"};
}

std::string DumpFolder(const std::string& sharedDocuments) {
  StringList levels = DumpParentLevels();
  levels.push_back(kDumpFileLevel);
  return AddTrailingSeparator(Joined(sharedDocuments, levels), '\\');
}

std::string HourFileName(std::int64_t calendarTime) {
  return FormatTime(calendarTime, kHourFileFormat) + kHourFileSuffix;
}

}  // namespace quill::handoff
