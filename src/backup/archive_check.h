// The new archive read back record by record before it may replace the last good backup: every
// field of its directory, of each entry's local header and of its end records is held against
// what the program handed to the adding library (the comment, each file's date, attributes and
// size) and against its twin in the other header, so that one byte changed anywhere on its way
// to the disk is caught. The data itself is checked by its CRC, by the extracting library.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "command/run_watch.h"

namespace zip {
class TZip;
}

namespace backup {

// The file each stored name ("\" between folders) was added from.
using AddedFiles = std::map<std::string, std::string>;

// Empty when the archive at path holds what was handed over and its records agree; else what is
// wrong, in plain words, for the user.
std::string DirectoryProblem(const std::string& path, const std::string& comment,
                             const AddedFiles& added);

// What the extracting library said as it read back every entry of the component's open archive,
// writing nothing: how many entries it read whole, those it skipped and why, its last word on a
// failure, and whether the user cancelled. The component's extraction options and folder are as
// before; its file specs are left empty.
struct EntriesRead {
  int tested = 0;
  std::vector<command::RunWatch::Skip> skips;
  std::string failure;
  bool cancelled = false;
};
EntriesRead ReadBackEntries(zip::TZip& zip);

}  // namespace backup
