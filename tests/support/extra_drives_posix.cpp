#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <sstream>

#include "support/extra_drives.h"

namespace test_support {
namespace {

constexpr char kVariable[] = "RIDIDEDUVURE_DRIVES";

}  // namespace

ExtraDrives::ExtraDrives(bool keep_whole_file_system) {
  const char* map = getenv(kVariable);
  saved_map_ = map ? map : "";
  std::istringstream lines(saved_map_);
  for (std::string line; std::getline(lines, line);) {
    if (keep_whole_file_system || line.rfind("Z:", 0) != 0) base_map_ += line + "\n";
  }
  char pattern[] = "/tmp/rd-drives-XXXXXX";
  if (mkdtemp(pattern)) root_ = pattern;
}

ExtraDrives::~ExtraDrives() {
  Clear();
  setenv(kVariable, saved_map_.c_str(), 1);
  std::error_code ignored;
  if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

std::string ExtraDrives::Set(const ExtraDrive& drive) {
  error_.clear();
  Made& made = drives_[drive.letter];
  Undo(made);
  made.drive = drive;
  made.own_folder = drive.host_folder.empty();
  made.host = made.own_folder ? (root_ / std::string(1, drive.letter)).string() : drive.host_folder;
  std::error_code failed;
  if (made.own_folder &&
      (root_.empty() || (!std::filesystem::is_directory(made.host) &&
                         !std::filesystem::create_directories(made.host, failed)))) {
    error_ = "no folder for drive " + std::string(1, drive.letter) + ":";
  } else if (drive.size_limit > 0) {
    const std::string options = "size=" + std::to_string(drive.size_limit);
    made.mounted = mount("rd-drive", made.host.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!made.mounted)
      error_ = std::string("a small drive cannot be mounted here: ") + strerror(errno);
  }
  if (error_.empty() && drive.read_only && chmod(made.host.c_str(), 0555) != 0) {
    error_ = std::string("the drive cannot be made read-only: ") + strerror(errno);
  }
  if (!error_.empty()) {
    Undo(made);
    drives_.erase(drive.letter);
    Publish();
    return std::string();
  }
  Publish();
  return made.host;
}

void ExtraDrives::Clear() {
  for (auto& [letter, made] : drives_) Undo(made);
  drives_.clear();
  Publish();
}

void ExtraDrives::Undo(Made& made) {
  if (made.host.empty()) return;
  if (made.drive.read_only) chmod(made.host.c_str(), 0755);
  if (made.mounted) umount2(made.host.c_str(), MNT_DETACH);
  made.mounted = false;
}

void ExtraDrives::Publish() const {
  std::string map = base_map_;
  for (const auto& [letter, made] : drives_) {
    map += std::string(1, letter) + ":=" + std::to_string(made.drive.type) + "|" +
           made.drive.label + "|" + made.host + "\n";
  }
  setenv(kVariable, map.c_str(), 1);
}

}  // namespace test_support
