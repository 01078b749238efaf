// The Restore command: a chart archive in the source folder is extracted into the application's
// chart folder (and its user-data archive by category); without one, the chart files found below
// the source are copied into the application's user-data folder.
#include <memory>

#include "app/file_maint.h"
#include "platform/platform.h"
#include "restore/restore_steps.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace app {
namespace restore {

const util::StringList& ChartPatterns() {
  static const util::StringList patterns = {"*.cht", "*.chm",   "*.omb", "*.xno",
                                            "*.om2", "*.hvcht", "*.xn0"};
  return patterns;
}

void ExtractMatching(TFileMaint& window, const util::StringList& patterns) {
  // After Exit the window has released its lists; the component keeps its own copy anyway.
  if (!StopRequested) {
    if (!window.FoundFiles) window.FoundFiles = std::make_unique<util::StringList>();
    *window.FoundFiles = patterns;
  }
  window.Zip1->FileSpecs = patterns;
  window.Zip1->Extract();
}

}  // namespace restore

namespace {

constexpr char kNoLooseRestoreMessage[] =
    "No chart files were restored.\n\nChart files that are not in a backup archive are restored "
    "only into the Halvane user data folder";

// The chart archive: its members go to the chart folder of the application (Auto) or to the
// destination box, without their stored folders.
void RestoreFromArchive(TFileMaint& window, const std::string& archive) {
  zip::TZip& zip = *window.Zip1;
  {
    ui::BusyCursor busy(window.Toolkit());
    util::MakeFolderPath(window.EDest->Text());
    zip.ZipFileName(archive);
    zip::ProgressCaption = "Unzipping and Restoring Chart files.";
    if (window.AutoDest->Checked()) {
      if (window.ChartFolder != window.UserDataFolder && !window.UserDataFolder.empty()) {
        window.StoreChartFolderSetting();
      }
      zip.ExtrBaseDir = HasUserFilesLayout() ? util::AddBackslash(window.UserDataFolder) + "Charts"
                                             : window.UserDataFolder;
    } else {
      zip.ExtrBaseDir = window.EDest->Text();
    }
    zip.ExtrOptions = restore::kUpdateOptions;
    // Without an application there is no folder to restore into, and an empty target would mean
    // the archive's own folder.
    if (!zip.ExtrBaseDir.empty()) {
      if (HasUserFilesLayout()) {
        util::MakeFolderPath(zip.ExtrBaseDir);
        restore::ExtractMatching(window, restore::ChartPatterns());
      } else {
        // Whole archive: a list left over from a refused earlier run must not narrow it.
        zip.FileSpecs.clear();
        zip.Extract();
      }
    }
  }
  // Exit was clicked while the library ran: the window is gone, nothing more is restored.
  if (StopRequested) return;
  if (window.HVBackupCB->Checked() && !restore::RestoreUserData(window)) return;
  window.PLabel->SetCaption("Finished.");
  window.AdvProgress1->SetPosition(100);
}

// No chart archive: the chart files below the source are copied into the user-data folder,
// replacing only older files there.
void RestoreLooseFiles(TFileMaint& window) {
  window.UpdateRestoreDestination();
  window.SearchChartFiles();
  bool copied_nothing = false;
  {
    ui::BusyCursor busy(window.Toolkit());
    // The search lets window messages run: after Exit the list is released and the run is over.
    if (StopRequested || !window.FoundFiles) return;
    if (window.FoundFiles->empty()) {
      window.PLabel->SetCaption("No Files Found");
      window.AdvProgress1->SetPosition(0);
      return;
    }
    const std::string destination = window.EDest->Text();
    if (window.UserDataFolder.empty() || destination != window.UserDataFolder) {
      copied_nothing = true;
    } else {
      window.PLabel->SetCaption("Restoring files.");
      util::MakeFolderPath(window.UserDataFolder);
      const size_t count = window.FoundFiles->size();
      for (size_t i = 0; i < count; ++i) {
        window.Toolkit().ProcessMessages();
        if (StopRequested || !window.FoundFiles || i >= window.FoundFiles->size()) return;
        const util::StringList& found = *window.FoundFiles;
        window.AdvProgress1->SetPosition(
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
    ReportMessage(window.UserDataFolder.empty()
                      ? std::string(kNoLooseRestoreMessage) + ", and no Halvane installation " +
                            "was found on this computer."
                      : std::string(kNoLooseRestoreMessage) + ":\n" + window.UserDataFolder);
  }
  window.PLabel->SetCaption("Finished.");
  window.AdvProgress1->SetPosition(100);
}

}  // namespace

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
    RestoreFromArchive(*this, archive);
  } else {
    RestoreLooseFiles(*this);
  }
}

}  // namespace app
