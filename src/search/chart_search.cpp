// The chart-file search: the folder walk, the search of every folder by the chart masks, and the
// filter that drops other software's files and brings in each chart's companions.
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/file_maint.h"
#include "base/wildcard.h"
#include "search/chart_masks.h"
#include "search/folder_scan.h"
#include "ui/toolkit.h"
#include "util/files.h"

namespace app {
namespace {

// Paths longer than this cannot be listed whole (AddSubfolderNames keeps only this much), so the
// walk does not descend below them rather than list a shortened path, which would name an
// ancestor and make the list grow without end.
constexpr size_t kListablePathLength = 255;

void StartEmpty(std::unique_ptr<util::StringList>& list) {
  if (list) {
    list->clear();
  } else {
    list = std::make_unique<util::StringList>();
  }
}

// Exit was clicked, or the window closed (which releases FoundFiles), while messages ran.
bool SearchStopped(const TFileMaint& window) { return StopRequested || !window.FoundFiles; }

}  // namespace

void TFileMaint::CollectSubfolders(const std::string& folder, util::StringList& list,
                                   WalkedFiles* walked_files) {
  const bool had_found_files = FoundFiles != nullptr;
  list.clear();
  if (walked_files) walked_files->clear();
  auto files_of = [&](const std::string& listed) {
    return walked_files ? &(*walked_files)[listed] : nullptr;
  };
  const std::string start = util::AddBackslash(folder);
  if (start.size() <= kListablePathLength) {
    util::AddSubfolderNames(start, list, files_of(start));
  }
  // The list grows while it is walked: breadth first, every folder listed exactly once.
  for (size_t i = 0; i < list.size(); ++i) {
    if (i % 100 == 0) {
      toolkit_.ProcessMessages();
      toolkit_.ProcessMessages();
      if (StopRequested || (had_found_files && !FoundFiles)) return;
      PLabel->SetCaption(std::string("Inspecting Folders ") + util::NextSpinnerChar());
    }
    if (list[i].size() > kListablePathLength) continue;
    // list grows in the call: the name is copied first.
    const std::string subfolder = list[i];
    util::AddSubfolderNames(subfolder, list, files_of(subfolder));
  }
}

void TFileMaint::SearchChartFiles() {
  if (ESource->Text().empty()) return;
  const ui::BusyCursor busy(toolkit_);
  StartEmpty(SearchFolders);
  StartEmpty(FoundFiles);
  ESource->SetText(util::AddBackslash(ESource->Text()));
  const std::string source = ESource->Text();
  WalkedFiles walked_files;
  CollectSubfolders(source, *SearchFolders, &walked_files);
  if (SearchStopped(*this)) return;
  SearchFolders->push_back(source);
  PLabel->SetCaption("Searching for Chart Files on " + source);
  if (AutoDest->Checked() && ChartFolder != UserDataFolder && !UserDataFolder.empty()) {
    SearchFolders->push_back(ChartFolder);
    StoreChartFolderSetting();
  }
  toolkit_.ProcessMessages();
  if (SearchStopped(*this)) return;

  const size_t mask_count =
      HVBackupCB->Checked() ? search::SearchChartMasks.size() : search::kChartMaskCount;
  SearchListedFolders(mask_count, &walked_files);
  if (SearchStopped(*this)) return;
  PLabel->SetCaption("");
  FilterChartFiles(&walked_files);
}

void TFileMaint::SearchListedFolders(size_t mask_count, const WalkedFiles* walked_files) {
  if (!SearchFolders || !FoundFiles) return;
  const size_t count = SearchFolders->size();
  for (size_t i = 0; i < count; ++i) {
    AdvProgress1->SetPosition(search::FolderProgress(i, count));
    if ((i + 1) % 5 == 0) {
      toolkit_.ProcessMessages();
      if (SearchStopped(*this)) return;
    }
    const std::string& folder = (*SearchFolders)[i];
    // An unknown chart folder joins the list as an empty entry: it names no folder at all.
    if (folder.empty()) continue;
    auto walked = walked_files ? walked_files->find(folder) : WalkedFiles::const_iterator();
    if (walked_files && walked != walked_files->end()) {
      search::AppendMatchingNames(folder, walked->second, search::SearchChartMasks, mask_count,
                                  *FoundFiles);
    } else {
      search::AppendMatchingFiles(folder, search::SearchChartMasks, mask_count, *FoundFiles);
    }
  }
}

void TFileMaint::FilterChartFiles(const WalkedFiles* walked_files) {
  if (!FoundFiles) return;
  util::StringList& files = *FoundFiles;
  // Walked from the last entry down, so companions come in the reverse order of their charts.
  // Deletions are marked and done in one pass afterwards: a whole disk can hold many files.
  std::vector<bool> dropped(files.size(), false);
  util::StringList companions;
  // Folded file names of the walked folders that hold charts, made when first needed.
  std::unordered_map<std::string, std::unordered_set<std::string>> folded_names;
  auto companion_exists = [&](const std::string& path) {
    if (!walked_files || path.size() > kListablePathLength) return util::FileExistsChecked(path);
    auto walked = walked_files->find(util::FolderOf(path));
    if (walked == walked_files->end()) return util::FileExistsChecked(path);
    auto [names, made] = folded_names.try_emplace(walked->first);
    if (made) {
      for (const std::string& name : walked->second) names->second.insert(util::FoldCase(name));
    }
    return names->second.count(util::FoldCase(util::NameOf(path))) > 0;
  };
  for (size_t i = files.size(); i-- > 0;) {
    if (util::FindInList(search::ExcludedPathWords, -1, files[i]) >= 0) {
      dropped[i] = true;
    } else if (util::FindInList(search::ChartExtensionWords, -1, files[i]) >= 0) {
      const std::string stem = util::StripExtension(files[i]);
      for (const std::string& extension : search::CompanionExtensions) {
        if (companion_exists(stem + extension)) companions.push_back(stem + extension);
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

}  // namespace app
