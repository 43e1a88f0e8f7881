#include "support/scratch_folder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace quill::test {
namespace {

std::string UniqueName() {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  std::ostringstream name;
  name << "quill-test-" << std::hex << device() << '-' << counter++;
  return name.str();
}

void MakeWritable(const fs::path& root) {
  std::error_code error;
  fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
  if (!fs::is_directory(fs::symlink_status(root, error))) return;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (!fs::is_symlink(it->symlink_status(error))) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
  }
}

}  // namespace

ScratchFolder::ScratchFolder() {
  fs::path folder = fs::temp_directory_path() / UniqueName();
  fs::create_directories(folder);
  path_ = folder.string();
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  MakeWritable(path_);
  fs::remove_all(path_, error);
}

std::string ScratchFolder::Join(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

std::string ScratchFolder::WriteFile(const std::string& name, const std::string& content) const {
  fs::path file = fs::path(path_) / name;
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
  return file.string();
}

std::string ScratchFolder::MakeFolder(const std::string& name) const {
  fs::path folder = fs::path(path_) / name;
  fs::create_directories(folder);
  return folder.string();
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace quill::test
