// A made-up installation of version 9 of the astrology application, the same for the same seed:
// its two settings files, a user-files folder with files of every category the user-data backup
// takes and the restore puts back, a few hundred chart files with companions in nested folders
// below its chart folder, and a system-data folder with its two files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

struct SampleFile {
  std::string path;      // full Windows path
  std::string contents;  // bytes
  int32_t dos_time = 0;  // last write, local time, DOS date in the high word and time in the low
};

struct SampleOptions {
  std::string windows_folder = "C:\\windows";  // where the system settings file goes
  std::string documents_folder;                // the user's documents folder, required
  std::string system_data_folder = "C:\\Program Files\\Halvane 9\\System";
  uint32_t seed = 9;
  int chart_count = 300;  // chart files, companions not counted
};

// Every file of the installation (folders are implied by the paths).
std::vector<SampleFile> MakeSampleInstallation(const SampleOptions& options);

// The user-files folder and the chart folder of an installation made with these options, each with
// a trailing backslash.
std::string UserFilesFolder(const SampleOptions& options);
std::string ChartFolder(const SampleOptions& options);

}  // namespace sample
