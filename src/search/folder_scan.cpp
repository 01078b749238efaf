#include "search/folder_scan.h"

#include <algorithm>
#include <vector>

#include "base/wildcard.h"
#include "util/files.h"

namespace search {

void AppendMatchingFiles(const std::string& folder, const base::StringList& masks,
                         size_t mask_count, base::StringList& found, base::StringList* unusable) {
  AppendMatchingNames(folder, util::ListFiles(base::AddBackslash(folder) + "*.*"), masks,
                      mask_count, found, unusable);
}

void AppendMatchingNames(const std::string& folder, const base::StringList& names,
                         const base::StringList& masks, size_t mask_count, base::StringList& found,
                         base::StringList* unusable) {
  if (names.empty()) return;
  const std::string base = base::AddBackslash(folder);
  mask_count = std::min(mask_count, masks.size());
  // Every name is folded once, not once per mask.
  std::vector<std::string> folded(names.size());
  for (size_t i = 0; i < names.size(); ++i) folded[i] = base::FoldCase(names[i]);
  for (size_t m = 0; m < mask_count; ++m) {
    const std::string mask = base::FoldCase(masks[m]);
    for (size_t i = 0; i < names.size(); ++i) {
      if (!base::MatchesFoldedMask(folded[i], mask)) continue;
      if (names[i].find_first_of("\\:") == std::string::npos) {
        found.push_back(base + names[i]);
      } else if (unusable) {
        unusable->push_back(base + names[i]);
      }
    }
  }
}

int FolderProgress(size_t index, size_t count) {
  if (count == 0) return 0;
  return base::RoundedPercent(static_cast<double>(index + 1), static_cast<double>(count));
}

}  // namespace search
