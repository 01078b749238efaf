// The chart-file search: the folder walk, the search of every folder by the chart masks, and the
// filter that drops other software's files and brings in each chart's companions.
#include "search/chart_search.h"

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/wildcard.h"
#include "search/chart_masks.h"
#include "search/folder_scan.h"
#include "search/listings_ahead.h"
#include "ui/toolkit.h"
#include "util/files.h"

namespace search {
namespace {

// Paths longer than this cannot be listed whole (AddSubfolderNames keeps only this much), so the
// walk does not descend below them rather than list a shortened path, which would name an
// ancestor and make the list grow without end.
constexpr size_t kListablePathLength = 255;

// Takes out of the walk's list, and out of what it saw of their files, the folders marked.
void LeaveOut(const std::vector<bool>& marked, base::StringList& list, WalkedFiles* walked_files) {
  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i < marked.size() && marked[i]) continue;
    if (kept != i) {
      list[kept] = std::move(list[i]);
      if (walked_files) {
        walked_files->names[kept] = std::move(walked_files->names[i]);
        walked_files->listed[kept] = walked_files->listed[i];
      }
    }
    ++kept;
  }
  list.resize(kept);
  if (walked_files) {
    walked_files->names.resize(kept);
    walked_files->listed.resize(kept);
  }
}

}  // namespace

bool ChartSearch::CollectSubfolders(const std::string& folder, base::StringList& list,
                                    WalkedFiles* walked_files) {
  list.clear();
  if (walked_files) *walked_files = WalkedFiles();
  base::StringList start_names;
  const std::string start = base::AddBackslash(folder);
  // The list grows while it is walked: breadth first, every folder listed exactly once, most of
  // them by a second thread while this one goes through the names of the folders before. Links,
  // junctions and bind mounts can name a folder again, or one above it: each folder is entered
  // under the first name the walk meets, and every later name of it is left out of the list.
  ListingsAhead ahead(walked_files != nullptr);
  const bool start_listed = start.size() <= kListablePathLength && ahead.EnterStart(start);
  platform::Cause start_cause = platform::Cause::kNone;
  if (start_listed) {
    start_cause = util::AddSubfolderNames(start, list, walked_files ? &start_names : nullptr);
  }
  std::vector<bool> left_out;
  size_t added = 0;
  const auto add_new_folders = [&] {
    for (; added < list.size(); ++added) {
      ahead.Add(list[added], list[added].size() <= kListablePathLength);
    }
  };
  add_new_folders();
  for (size_t i = 0; i < list.size(); ++i) {
    if (i % 100 == 0) {
      tools_.LetMessagesRun();
      tools_.LetMessagesRun();
      if (tools_.Stopped()) {
        // Half a walk stands for no list: nothing may take its names for the folders searched.
        if (walked_files) *walked_files = WalkedFiles();
        return false;
      }
      tools_.Status(std::string("Inspecting Folders ") + base::NextSpinnerChar());
    }
    const bool listable = list[i].size() <= kListablePathLength;
    if (walked_files) {
      walked_files->names.emplace_back();
      walked_files->listed.push_back(listable);
    }
    if (!listable) continue;
    platform::Cause cause = platform::Cause::kNone;
    if (!ahead.Take(i, list, walked_files ? &walked_files->names[i] : nullptr, &cause)) {
      left_out.resize(list.size());
      left_out[i] = true;
    } else if (walked_files && cause != platform::Cause::kNone) {
      walked_files->unlisted.emplace_back(list[i], cause);
    }
    add_new_folders();
  }
  if (!left_out.empty()) LeaveOut(left_out, list, walked_files);
  if (walked_files) {
    walked_files->names.push_back(std::move(start_names));
    walked_files->listed.push_back(start_listed);
    walked_files->entered = ahead.TakeEntered();
    if (start_cause != platform::Cause::kNone) {
      walked_files->unlisted.emplace_back(start, start_cause);
    }
  }
  return true;
}

bool ChartSearch::SearchListedFolders(const base::StringList& folders, size_t mask_count,
                                      base::StringList& found, WalkedFiles* walked_files,
                                      base::StringList* unusable) {
  const size_t count = folders.size();
  for (size_t i = 0; i < count; ++i) {
    tools_.Progress(FolderProgress(i, count));
    if ((i + 1) % 5 == 0) {
      tools_.LetMessagesRun();
      if (tools_.Stopped()) return false;
    }
    const std::string& folder = folders[i];
    // An unknown chart folder joins the list as an empty entry: it names no folder at all.
    if (folder.empty()) continue;
    const size_t before = found.size();
    const bool walked = walked_files && i < walked_files->listed.size() && walked_files->listed[i];
    if (walked) {
      AppendMatchingNames(folder, walked_files->names[i], SearchChartMasks, mask_count, found,
                          unusable);
    } else {
      AppendMatchingFiles(folder, SearchChartMasks, mask_count, found, unusable);
    }
    if (walked_files) {
      walked_files->folder_of_found.resize(before, WalkedFiles::kNotListed);
      walked_files->folder_of_found.resize(found.size(), walked ? i : WalkedFiles::kNotListed);
    }
  }
  return true;
}

void ChartSearch::FilterChartFiles(base::StringList& files, const WalkedFiles* walked_files) {
  // Walked from the last entry down, so companions come in the reverse order of their charts.
  // Deletions are marked and done in one pass afterwards: a whole disk can hold many files.
  std::vector<bool> dropped(files.size(), false);
  base::StringList companions;
  // Folded file names of the walked folders that hold charts, made when first needed.
  std::unordered_map<size_t, std::unordered_set<std::string>> folded_names;
  // Whether the companion path of the file at index found exists.
  auto companion_exists = [&](size_t found, const std::string& path) {
    const size_t folder = walked_files && found < walked_files->folder_of_found.size()
                              ? walked_files->folder_of_found[found]
                              : WalkedFiles::kNotListed;
    if (folder == WalkedFiles::kNotListed || path.size() > kListablePathLength) {
      return util::FileExistsChecked(path);
    }
    auto [names, made] = folded_names.try_emplace(folder);
    if (made) {
      for (const std::string& name : walked_files->names[folder]) {
        names->second.insert(base::FoldCase(name));
      }
    }
    return names->second.count(base::FoldCase(base::NameOf(path))) > 0;
  };
  for (size_t i = files.size(); i-- > 0;) {
    if (base::FindInList(ExcludedPathWords, -1, files[i]) >= 0) {
      dropped[i] = true;
    } else if (base::FindInList(ChartExtensionWords, -1, files[i]) >= 0) {
      const std::string stem = base::StripExtension(files[i]);
      for (const std::string& extension : CompanionExtensions) {
        if (companion_exists(i, stem + extension)) companions.push_back(stem + extension);
      }
    }
  }
  size_t kept = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (dropped[i]) continue;
    if (kept != i) files[kept] = std::move(files[i]);
    ++kept;
  }
  files.resize(kept);
  files.insert(files.end(), companions.begin(), companions.end());
}

std::optional<Found> SearchChartFiles(const command::Tools& tools, const std::string& source,
                                      bool user_data_masks,
                                      const std::optional<std::string>& chart_folder) {
  const ui::BusyCursor busy(tools.toolkit);
  ChartSearch search(tools);
  Found found;
  WalkedFiles walked_files;
  if (!search.CollectSubfolders(source, found.folders, &walked_files)) return std::nullopt;
  found.folders.push_back(source);
  tools.Status("Searching for Chart Files on " + source);
  if (chart_folder) {
    // A chart folder the walk has been through already is not searched a second time: its charts
    // are found once, where the walk found them.
    platform::FolderIdentity identity;
    if (!platform::GetFolderIdentity(*chart_folder, &identity) ||
        !walked_files.entered.count(identity)) {
      found.folders.push_back(*chart_folder);
    }
  }
  tools.LetMessagesRun();
  if (tools.Stopped()) return std::nullopt;

  const size_t mask_count = user_data_masks ? SearchChartMasks.size() : kChartMaskCount;
  if (!search.SearchListedFolders(found.folders, mask_count, found.files, &walked_files)) {
    return std::nullopt;
  }
  tools.Status("");
  ChartSearch::FilterChartFiles(found.files, &walked_files);
  return found;
}

}  // namespace search
