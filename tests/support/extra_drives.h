// Drives a test adds to the drive map of its own program, each over a folder of its own or one the
// test names: a removable disk with a label, a CD-ROM drive, a second fixed disk, a drive that
// refuses writes, a drive of a few megabytes. Linux only: the Windows build runs on the machine's
// real drives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace test_support {

struct ExtraDrive {
  ExtraDrive(char drive_letter, unsigned drive_type, std::string drive_label = std::string())
      : letter(drive_letter), type(drive_type), label(std::move(drive_label)) {}

  char letter;
  unsigned type;  // platform::kDrive...
  std::string label;
  // The host folder the letter stands for; empty: a new empty folder kept by ExtraDrives.
  std::string host_folder;
  // The folder refuses new files and changes (for everyone but root).
  bool read_only = false;
  // Bytes the drive holds, 0 for no limit. Takes a small file system mounted over the folder,
  // which only root may mount: Set fails elsewhere, and the test should skip.
  uint64_t size_limit = 0;
};

// While it lives, the program sees its drives besides (or instead of) those of the test program's
// map; the map before it, and the folders it made, come back when it goes.
class ExtraDrives {
 public:
  // keep_whole_file_system: false leaves out the Z: drive over "/" of the test program's map, for
  // tests that count the drives there are. The map changes with the first Set or Clear.
  explicit ExtraDrives(bool keep_whole_file_system = true);
  ~ExtraDrives();
  ExtraDrives(const ExtraDrives&) = delete;
  ExtraDrives& operator=(const ExtraDrives&) = delete;

  // Adds the drive, or changes the one of that letter (its own folder is kept, so a disk can be
  // swapped for another label over the same files). The host folder; empty when the drive cannot
  // be made, error() saying why.
  std::string Set(const ExtraDrive& drive);
  // Takes every drive of this object out of the map again.
  void Clear();
  const std::string& error() const { return error_; }

 private:
  struct Made {
    ExtraDrive drive{'D', platform::kDriveFixed};
    std::string host;
    bool own_folder = false;
    bool mounted = false;
  };
  void Undo(Made& made);
  void Publish() const;

  std::string saved_map_;
  std::string base_map_;
  std::filesystem::path root_;
  std::map<char, Made> drives_;
  std::string error_;
};

}  // namespace test_support
