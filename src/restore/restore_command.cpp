// The Restore command: a chart archive in the source folder is extracted into the application's
// chart folder (and its user-data archive by category); without one, the chart files found below
// the source are copied into the application's user-data folder.
#include <memory>

#include "app/file_maint.h"
#include "platform/platform.h"
#include "restore/restore_masks.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace app {

void TFileMaint::ExtractMatching(const util::StringList& patterns) {
  // After Exit the window has released its lists; the component keeps its own copy anyway.
  if (!StopRequested) {
    if (!FoundFiles) FoundFiles = std::make_unique<util::StringList>();
    *FoundFiles = patterns;
  }
  Zip1->FileSpecs = patterns;
  Zip1->Extract();
}

namespace {

constexpr char kNoLooseRestoreMessage[] =
    "No chart files were restored.\n\nChart files that are not in a backup archive are restored "
    "only into the Halvane user data folder";

}  // namespace

// The members are written without their stored folders.
void TFileMaint::RestoreFromArchive(const std::string& archive) {
  zip::TZip& zip = *Zip1;
  {
    ui::BusyCursor busy(toolkit_);
    util::MakeFolderPath(EDest->Text());
    zip.ZipFileName(archive);
    zip::ProgressCaption = "Unzipping and Restoring Chart files.";
    if (AutoDest->Checked()) {
      if (ChartFolder != UserDataFolder && !UserDataFolder.empty()) {
        StoreChartFolderSetting();
      }
      zip.ExtrBaseDir =
          HasUserFilesLayout() ? util::AddBackslash(UserDataFolder) + "Charts" : UserDataFolder;
    } else {
      zip.ExtrBaseDir = EDest->Text();
    }
    zip.ExtrOptions = restore::kUpdateOptions;
    // Without an application there is no folder to restore into, and an empty target would mean
    // the archive's own folder.
    if (!zip.ExtrBaseDir.empty()) {
      if (HasUserFilesLayout()) {
        util::MakeFolderPath(zip.ExtrBaseDir);
        ExtractMatching(restore::ChartPatterns);
      } else {
        // Whole archive: a list left over from a refused earlier run must not narrow it.
        zip.FileSpecs.clear();
        zip.Extract();
      }
    }
  }
  // Exit was clicked while the library ran: the window is gone, nothing more is restored.
  if (StopRequested) return;
  if (HVBackupCB->Checked() && !RestoreUserData()) return;
  PLabel->SetCaption("Finished.");
  AdvProgress1->SetPosition(100);
}

// Only older files are replaced.
void TFileMaint::RestoreLooseFiles() {
  UpdateRestoreDestination();
  SearchChartFiles();
  bool copied_nothing = false;
  {
    ui::BusyCursor busy(toolkit_);
    // The search lets window messages run: after Exit the list is released and the run is over.
    if (StopRequested || !FoundFiles) return;
    if (FoundFiles->empty()) {
      PLabel->SetCaption("No Files Found");
      AdvProgress1->SetPosition(0);
      return;
    }
    const std::string destination = EDest->Text();
    if (UserDataFolder.empty() || destination != UserDataFolder) {
      copied_nothing = true;
    } else {
      PLabel->SetCaption("Restoring files.");
      util::MakeFolderPath(UserDataFolder);
      const size_t count = FoundFiles->size();
      for (size_t i = 0; i < count; ++i) {
        toolkit_.ProcessMessages();
        if (StopRequested || !FoundFiles || i >= FoundFiles->size()) return;
        const util::StringList& found = *FoundFiles;
        AdvProgress1->SetPosition(
            util::RoundedPercent(static_cast<double>(i + 1), static_cast<double>(found.size())));
        const std::string& source = found[i];
        const std::string target = util::AddBackslash(destination) + util::WordWithDot(source);
        if (source != target && platform::GetFileAge(source) > platform::GetFileAge(target)) {
          util::CopyFileSetAttr(source, target, 0);
        }
      }
    }
  }
  if (copied_nothing) {
    ReportMessage(UserDataFolder.empty()
                      ? std::string(kNoLooseRestoreMessage) + ", and no Halvane installation " +
                            "was found on this computer."
                      : std::string(kNoLooseRestoreMessage) + ":\n" + UserDataFolder);
  }
  PLabel->SetCaption("Finished.");
  AdvProgress1->SetPosition(100);
}

void TFileMaint::RestoreButtClick() {
  AdvProgress1->SetPosition(0);
  PLabel->SetCaption("");
  if (ESource->Text().empty() || EDest->Text().empty()) {
    ReportMessage("Both Source and Dest must be selected.");
    return;
  }
  PLabel->SetCaption("Working.");
  const std::string archive = util::AddBackslash(ESource->Text()) + kChartArchiveName;
  if (util::FileExistsChecked(archive)) {
    RestoreFromArchive(archive);
  } else {
    RestoreLooseFiles();
  }
}

}  // namespace app
