// Writes the sample installation as a Wine-style prefix, so that the program, pointed at it with
// WINEPREFIX, finds a version 9 installation with user files and charts to back up:
//   <prefix>/drive_c/...        drive C:
//   <prefix>/dosdevices/c:      -> ../drive_c
// The prefix user's documents folder is C:\users\<user>\Documents, as the program looks for it.
//
//   make_sample <prefix folder> [--user NAME] [--seed N] [--charts N]
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "sample_installation.h"

namespace fs = std::filesystem;

namespace {

// The user whose documents folder the program will look in: the one running it.
std::string DefaultUser() {
  for (const char* variable : {"USER", "USERNAME", "LOGNAME"}) {
    if (const char* value = std::getenv(variable); value && *value) return value;
  }
  return "user";
}

// "C:\users\ann\x.ini" below <drive_c>.
fs::path HostPath(const fs::path& drive_c, const std::string& windows_path) {
  fs::path host = drive_c;
  size_t start = 3;  // after "C:\"
  while (start <= windows_path.size()) {
    const size_t end = std::min(windows_path.find('\\', start), windows_path.size());
    if (end > start) host /= windows_path.substr(start, end - start);
    start = end + 1;
  }
  return host;
}

fs::file_time_type FromDosTime(int32_t dos_time) {
  const uint32_t value = static_cast<uint32_t>(dos_time);
  std::tm local{};
  local.tm_year = static_cast<int>((value >> 25) & 0x7F) + 80;
  local.tm_mon = static_cast<int>((value >> 21) & 0x0F) - 1;
  local.tm_mday = static_cast<int>((value >> 16) & 0x1F);
  local.tm_hour = static_cast<int>((value >> 11) & 0x1F);
  local.tm_min = static_cast<int>((value >> 5) & 0x3F);
  local.tm_sec = static_cast<int>((value & 0x1F) * 2);
  local.tm_isdst = -1;
  const auto system = std::chrono::system_clock::from_time_t(std::mktime(&local));
  return std::chrono::file_clock::from_sys(system);
}

int Usage() {
  std::cerr << "usage: make_sample <prefix folder> [--user NAME] [--seed N] [--charts N]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const fs::path prefix = argv[1];
  std::string user = DefaultUser();
  sample::SampleOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    try {
      if (option == "--user") {
        user = value;
      } else if (option == "--seed") {
        options.seed = static_cast<uint32_t>(std::stoul(value));
      } else if (option == "--charts") {
        options.chart_count = std::stoi(value);
      } else {
        return Usage();
      }
    } catch (const std::exception&) {
      return Usage();
    }
  }
  options.documents_folder = "C:\\users\\" + user + "\\Documents";

  std::error_code error;
  const fs::path drive_c = prefix / "drive_c";
  fs::create_directories(drive_c, error);
  fs::create_directories(prefix / "dosdevices", error);
  if (error) {
    std::cerr << "make_sample: cannot create " << prefix << ": " << error.message() << "\n";
    return 1;
  }
  const fs::path link = prefix / "dosdevices" / "c:";
  if (!fs::is_symlink(link, error)) {
    fs::create_directory_symlink("../drive_c", link, error);
    if (error) {
      std::cerr << "make_sample: cannot link " << link << " (" << error.message()
                << "); drive_c is written all the same\n";
    }
  }
  int written = 0;
  for (const sample::SampleFile& file : sample::MakeSampleInstallation(options)) {
    const fs::path path = HostPath(drive_c, file.path);
    fs::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.contents.data(), static_cast<std::streamsize>(file.contents.size()));
    out.close();
    if (!out) {
      std::cerr << "make_sample: cannot write " << path << "\n";
      return 1;
    }
    fs::last_write_time(path, FromDosTime(file.dos_time), error);
    ++written;
  }
  std::cout << "Sample installation of Halvane 9 for user " << user << ": " << written
            << " files in " << prefix.string() << "\n";
  return 0;
}
