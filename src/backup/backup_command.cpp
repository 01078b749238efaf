// The Backup command: the walk over the source folder, the chart archive, then the user-data
// archive and the CD hand-off (user_data_backup.cpp), each written by WriteArchive
// (archive_writer.cpp).
#include <memory>

#include "app/file_maint.h"
#include "search/chart_masks.h"
#include "ui/toolkit.h"
#include "util/files.h"
#include "zip/zip_options.h"

namespace app {
namespace {

constexpr uint8_t kChartArchiveOptions =
    zip::kAddRecurse | zip::kAddFolderEntries | zip::kAddHiddenSystem;
// The same, relative to the (empty) base folder.
constexpr uint8_t kUserDataArchiveOptions = kChartArchiveOptions | zip::kAddRelativeToBase;
static_assert(kChartArchiveOptions == 0x54 && kUserDataArchiveOptions == 0x5C);

// Exit was clicked, or the window closed (which releases FoundFiles), while messages ran: the run
// ends without starting its next step.
bool RunStopped(const TFileMaint& window) { return StopRequested || !window.FoundFiles; }

}  // namespace

void TFileMaint::BackupButClick() {
  if (ESource->Text().empty() || EDest->Text().empty()) {
    ReportMessage("Both Source and Dest must be selected.");
    return;
  }
  const ui::BusyCursor busy(toolkit_);
  SearchFolders = std::make_unique<util::StringList>();
  FoundFiles = std::make_unique<util::StringList>();
  ESource->SetText(util::AddBackslash(ESource->Text()));
  EDest->SetText(util::AddBackslash(EDest->Text()));
  const std::string source = ESource->Text();
  WalkedFiles walked_files;
  CollectSubfolders(source, *SearchFolders, &walked_files);
  if (RunStopped(*this)) return;
  SearchFolders->push_back(source);  // the source folder is searched last
  const std::string target = CDRomCB->Checked() ? std::string("C:\\temp") : EDest->Text();
  PLabel->SetCaption("Searching for Chart Files");
  toolkit_.ProcessMessages();
  if (RunStopped(*this)) return;
  GatherChartFiles(&walked_files);
  if (RunStopped(*this)) return;
  PLabel->SetCaption("");
  FilterChartFiles(&walked_files);
  walked_files = WalkedFiles();
  if (!WriteArchive(target, kChartArchiveName, kBackupCommentPrefix + source,
                    "Zipping up Chart Files.", kChartArchiveOptions)) {
    return;
  }
  if (RunStopped(*this)) return;

  if (HVBackupCB->Checked()) {
    FoundFiles->clear();
    PLabel->SetCaption("Gathering Halvane Data Files.");
    GatherUserDataFiles();
    if (!WriteArchive(target, kUserDataArchiveName, kBackupCommentPrefix + SystemDataFolder,
                      "Zipping up User Data Files.", kUserDataArchiveOptions)) {
      return;
    }
    if (RunStopped(*this)) return;
  }
  if (CDRomCB->Checked()) {
    if (!StageForCD(target) || StopRequested) return;
  }
  PLabel->SetCaption("Finished.");
}

void TFileMaint::GatherChartFiles(WalkedFiles* walked_files) {
  SearchListedFolders(search::kChartMaskCount, walked_files);
}

}  // namespace app
