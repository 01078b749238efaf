// Times the chart-file search over a generated tree of folders (20,000 by default): the program's
// search, which lists each folder once and matches the masks in memory, against one listing per
// mask and folder, for the four chart masks and for all 37. Both must find the same files.
//   search_bench [folders] [rounds]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/file_maint.h"
#include "search/chart_masks.h"
#include "search/chart_search.h"
#include "search/folder_scan.h"
#include "ui/headless/headless_toolkit.h"
#include "util/files.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A tree 20 wide at the top, 20 below each, and the rest spread over the third level; each
// folder holds a chart, a settings file and a file no mask takes.
int MakeTree(const fs::path& root, int folders) {
  int made = 0;
  auto make = [&](const fs::path& folder) {
    fs::create_directories(folder);
    std::ofstream(folder / "chart.cht") << "c";
    std::ofstream(folder / "settings.ini") << "i";
    std::ofstream(folder / "letter.txt") << "t";
    ++made;
  };
  const int third = std::max(1, (folders - 420 + 399) / 400);
  for (int a = 0; a < 20 && made < folders; ++a) {
    const fs::path level1 = root / ("A" + std::to_string(a));
    make(level1);
    for (int b = 0; b < 20 && made < folders; ++b) {
      const fs::path level2 = level1 / ("B" + std::to_string(b));
      make(level2);
      for (int c = 0; c < third && made < folders; ++c) make(level2 / ("C" + std::to_string(c)));
    }
  }
  return made;
}

// What one listing per mask gives: the order the program's search must reproduce.
base::StringList SearchOncePerMask(const base::StringList& folders, size_t mask_count) {
  base::StringList found;
  for (const std::string& folder : folders) {
    for (size_t m = 0; m < mask_count; ++m) {
      for (const std::string& name : util::ListFiles(folder + search::SearchChartMasks[m])) {
        found.push_back(folder + name);
      }
    }
  }
  return found;
}

size_t FoundCount(const app::TFileMaint& window) {
  return window.FoundFiles ? window.FoundFiles->size() : 0;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int folders = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  char pattern[] = "/tmp/rd-search-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path root = pattern;
  fs::create_directories(root / "c" / "Temp");
  setenv("RIDIDEDUVURE_DRIVES", ("C:=3|BENCH|" + (root / "c").string() + "\ntemp=C:\\Temp").c_str(),
         1);
  const int made = MakeTree(root / "c" / "Tree", folders);

  ui::headless::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  app::TFileMaint window(toolkit);
  window.Form().Show();
  const command::Tools tools{toolkit, *window.Zip1, base::StopToken(), window.PLabel,
                             window.AdvProgress1};
  std::printf("tree: %d folders, 3 files each\n", made);
  for (const bool all_masks : {false, true}) {
    const size_t mask_count = all_masks ? search::SearchChartMasks.size() : search::kChartMaskCount;
    window.HVBackupCB->SetChecked(all_masks);
    double program = 1e9, walk = 1e9, listed_once = 1e9, once_per_mask = 1e9;
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
      // The whole search as the window runs it: walk, search, filter with companion lookups.
      auto start = Clock::now();
      window.ESource->SetText("C:\\Tree");
      window.SearchChartFiles();
      program = std::min(program, Seconds(start));

      start = Clock::now();
      base::StringList searched;
      search::ChartSearch(tools).CollectSubfolders("C:\\Tree\\", searched);
      searched.push_back("C:\\Tree\\");
      walk = std::min(walk, Seconds(start));

      // The search step alone, both ways.
      start = Clock::now();
      base::StringList found;
      for (const std::string& folder : searched) {
        search::AppendMatchingFiles(folder, search::SearchChartMasks, mask_count, found);
      }
      listed_once = std::min(listed_once, Seconds(start));
      start = Clock::now();
      const base::StringList reference = SearchOncePerMask(searched, mask_count);
      once_per_mask = std::min(once_per_mask, Seconds(start));
      same = same && reference == found && found == *window.FoundFiles;
    }
    std::printf(
        "%2zu masks, %zu files found: search step %.3f s listing each folder once, %.3f s "
        "listing it once per mask (%.1fx); folder walk %.3f s; whole search as the window runs "
        "it %.3f s, %.3f s with one listing per mask (%.1fx); same list: %s\n",
        mask_count, FoundCount(window), listed_once, once_per_mask, once_per_mask / listed_once,
        walk, program, program - listed_once + once_per_mask,
        (program - listed_once + once_per_mask) / program, same ? "yes" : "NO");
  }
  ui::SetToolkit(nullptr);
  fs::remove_all(root);
  return 0;
}
