// The chart-file search: the folder walk, the search of every folder by the chart masks, and the
// filter that drops other software's files and brings in each chart's companions. The Backup and
// Restore commands run it; it shows its progress through the tools it is given and stops at the
// first test of their stop token after a stop was asked for.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "command/command_tools.h"
#include "platform/cause.h"
#include "platform/platform.h"

namespace search {

// What a walk saw of the files of the folders it listed, by their places in the list of folders
// as the search makes it (the walk's list, then the folder walked from), and which of those
// folders each file the search then found lies in.
struct WalkedFiles {
  static constexpr size_t kNotListed = static_cast<size_t>(-1);
  std::vector<base::StringList> names;  // names[i]: the files of folder i, as listed
  std::vector<bool> listed;             // folder i was listed (a path too long is not)
  std::vector<size_t> folder_of_found;  // for each file found: its folder, or kNotListed
  // Folders that could not be listed, with why: their files were never found.
  std::vector<std::pair<std::string, platform::Cause>> unlisted;
  std::set<platform::FolderIdentity> entered;  // the folders walked, by identity
};

class ChartSearch {
 public:
  explicit ChartSearch(const command::Tools& tools) : tools_(tools) {}

  // Fills list with every folder below folder, each once whatever the links. With walked_files,
  // the walk also keeps the names of the files it lists: the search of those folders and the
  // look for companions then use them, so that one search reads each folder once. They stand
  // for the folders searched when folder itself is appended to list right after the walk.
  // False, with half a list and no walked files, when the run was stopped.
  bool CollectSubfolders(const std::string& folder, base::StringList& list,
                         WalkedFiles* walked_files = nullptr);
  // Appends to found the files of each of folders that match the first mask_count chart masks,
  // from the walk's names of the folder when it has them, with the progress bar and the messages
  // running; matching names that no path can hold go to *unusable. False when stopped.
  bool SearchListedFolders(const base::StringList& folders, size_t mask_count,
                           base::StringList& found, WalkedFiles* walked_files = nullptr,
                           base::StringList* unusable = nullptr);
  // Drops the files of other software from found and appends the companions of each chart.
  static void FilterChartFiles(base::StringList& found, const WalkedFiles* walked_files = nullptr);

 private:
  const command::Tools& tools_;
};

// What one search found: the folders it searched, in order, and the files, companions last.
struct Found {
  base::StringList folders;
  base::StringList files;
};

// The search as a restore runs it: every folder below source (which ends with a backslash), then
// source, then chart_folder when given (the application's chart folder, on its own, unless the walk
// went through it). With user_data_masks, the masks of the application's other files too. Nothing
// when the run was stopped.
std::optional<Found> SearchChartFiles(const command::Tools& tools, const std::string& source,
                                      bool user_data_masks,
                                      const std::optional<std::string>& chart_folder);

}  // namespace search
