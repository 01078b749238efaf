#include "search/folder_scan.h"

#include <algorithm>
#include <vector>

#include "base/wildcard.h"
#include "util/files.h"

namespace search {

void AppendMatchingFiles(const std::string& folder, const util::StringList& masks,
                         size_t mask_count, util::StringList& found) {
  const std::string base = util::AddBackslash(folder);
  const util::StringList names = util::ListFiles(base + "*.*");
  if (names.empty()) return;
  mask_count = std::min(mask_count, masks.size());
  for (size_t m = 0; m < mask_count; ++m) {
    for (const std::string& name : names) {
      if (util::MatchesMask(name, masks[m])) found.push_back(base + name);
    }
  }
}

int FolderProgress(size_t index, size_t count) {
  if (count == 0) return 0;
  return util::RoundedPercent(static_cast<double>(index + 1), static_cast<double>(count));
}

}  // namespace search
