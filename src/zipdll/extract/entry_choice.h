// The entries of an archive that an extracting run takes: those its file specs name, or all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zipdll/common/zip_reader.h"

namespace zipdll::extract {

struct ChosenEntries {
  std::vector<const EntryInfo*> entries;  // in the archive's order
  std::vector<bool> spec_used;            // for each spec, whether an entry matched it
  uint64_t files = 0;                     // entries that are no folder
  uint64_t bytes = 0;                     // their sizes as the archive gives them, at most 2^64-1
};

// A file pattern with a wildcard is matched as a mask; one with a folder in it against the whole
// stored name, any other against the entry's file name alone, so that "*.cht" takes
// "Charts/SMITH.CHT". Names and patterns compare without regard to case, with "/" and "\" alike.
// No patterns: every entry.
ChosenEntries ChooseEntries(const Directory& directory, const std::vector<std::string>& specs);

}  // namespace zipdll::extract
