// Runs one of the program's own commands once, through the window on the headless toolkit, over
// host folders, and prints what it did and how long it took. One run per process, so that the
// caller can take this run's peak resident size from the process.
//
//   command_bench search SOURCE         the Backup command's search: folder walk, the four chart
//                                       masks, the filter and the companions
//   command_bench backup SOURCE DEST    the Backup command, chart archive only
//   command_bench restore SOURCE DEST   the Restore command with Auto off: the chart archive in
//                                       SOURCE, every entry into the folder DEST; its question is
//                                       answered Yes, and the seconds from the start to the
//                                       question (the counting) are printed after the total
//
// SOURCE and DEST are Windows paths on the drives RIDIDEDUVURE_DRIVES maps onto host folders.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "app/file_maint.h"
#include "search/chart_masks.h"
#include "search/chart_search.h"
#include "ui/headless/headless_toolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRestoreItem = 1;

int Usage() {
  std::fprintf(stderr,
               "usage: command_bench search SOURCE\n"
               "       command_bench backup|restore SOURCE DEST\n"
               "with the drives mapped by RIDIDEDUVURE_DRIVES\n");
  return 2;
}

// The test toolkit remembers every progress step and message; over a whole disk that would be a
// memory cost of the bench, not of the program, so it is dropped as it comes.
void ForgetAsItComes(ui::headless::HeadlessToolkit& toolkit) {
  toolkit.on_process_messages = [&toolkit](int) {
    toolkit.progress_log.clear();
    toolkit.cursor_log.clear();
  };
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool needs_dest = mode == "backup" || mode == "restore";
  if ((mode != "search" && !needs_dest) || argc != (needs_dest ? 4 : 3)) return Usage();
  if (!getenv("RIDIDEDUVURE_DRIVES")) return Usage();
  const std::string source = argv[2];
  const std::string dest = needs_dest ? argv[3] : "";

  ui::headless::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  ForgetAsItComes(toolkit);
  app::TFileMaint window(toolkit);
  window.Form().Show();
  // Charts only: the user-data archive is measured on its own.
  window.HVBackupCB->SetChecked(false);
  if (mode == "restore") {
    window.RadioGroup1->SetItemIndex(kRestoreItem);
    window.RadioGroup1Click();
    window.AutoDest->SetChecked(false);
    window.AutoDestClick();
  }
  window.ESource->SetText(source);
  if (needs_dest) window.EDest->SetText(dest);

  const auto start = Clock::now();
  // The restore asks before it writes: Yes, at once, noting when the question came.
  std::optional<Clock::time_point> asked;
  toolkit.answer_of = [&asked](const ui::headless::ShownMessage& box) -> std::optional<int> {
    if ((box.flags & 0xF) != ui::kMbYesNo) return std::nullopt;
    asked = Clock::now();
    return ui::kIdYes;
  };
  size_t files = 0;
  if (mode == "search") {
    // As the Backup command searches, without the archive after it.
    const command::Tools tools{toolkit, *window.Zip1, base::StopToken(), window.PLabel,
                               window.AdvProgress1};
    search::ChartSearch chart_search(tools);
    const std::string source = base::AddBackslash(window.ESource->Text());
    base::StringList folders, found;
    search::WalkedFiles walked_files;
    chart_search.CollectSubfolders(source, folders, &walked_files);
    folders.push_back(source);
    chart_search.SearchListedFolders(folders, search::kChartMaskCount, found, &walked_files);
    search::ChartSearch::FilterChartFiles(found, &walked_files);
    files = found.size();
  } else {
    if (mode == "backup") {
      window.BackupButClick();
    } else {
      window.RestoreButtClick();
    }
    if (window.PLabel->Caption() != "Finished.") {
      std::fprintf(stderr, "command_bench: the %s did not finish: \"%s\"\n", mode.c_str(),
                   window.PLabel->Caption().c_str());
      return 1;
    }
    files = window.FoundFiles ? window.FoundFiles->size() : 0;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  size_t told = 0;
  for (const auto& message : toolkit.messages) {
    if ((message.flags & 0xF) == ui::kMbYesNo) continue;
    std::fprintf(stderr, "command_bench: message shown: %s\n", message.text.c_str());
    ++told;
  }
  if (asked) {
    std::printf("%s %zu %.3f %.3f\n", mode.c_str(), files, seconds,
                std::chrono::duration<double>(*asked - start).count());
  } else {
    std::printf("%s %zu %.3f\n", mode.c_str(), files, seconds);
  }
  ui::SetToolkit(nullptr);
  return told == 0 ? 0 : 1;
}
