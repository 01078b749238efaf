// The Restore command: a chart archive in the source folder is extracted into the application's
// chart folder (and its user-data archive by category); without one, the chart files found below
// the source are copied into the application's user-data folder.
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "app/file_maint.h"
#include "app/run_watch.h"
#include "base/wildcard.h"
#include "platform/platform.h"
#include "restore/restore_masks.h"
#include "restore/restore_plan.h"
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
  ExtractReported(/*flat=*/true);
}

void TFileMaint::ExtractReported(bool flat) {
  zip::TZip& zip = *Zip1;
  const std::string archive = util::NameOf(zip.ZipFileName());
  const std::string folder = util::AddBackslash(zip.ExtrBaseDir);
  // Where an entry was to be written, as the user will look for it, and where it came from.
  const auto target_of = [&](const std::string& entry) {
    const std::string name = restore::WithBackslashes(entry);
    const std::string file = flat ? util::NameOf(name) : name;
    return folder + file + (file == name ? std::string() : " (" + name + " in the backup)");
  };
  // A target folder that could not be made (the command tried) takes none of the files: each is
  // named with why the folder could not be made, in the one box at the end, rather than a box of
  // the component's for each pass saying only that the folder is not there.
  platform::Cause folder_cause = platform::Cause::kNone;
  if (!platform::FolderExists(folder) && !platform::CreateDirectory(folder)) {
    folder_cause = platform::LastCause();
    if (folder_cause == platform::Cause::kNone) folder_cause = platform::Cause::kNotFound;
    for (const zip::TFileInfo& info : zip.Contents) {
      if (info.FileName.empty() || info.FileName.back() == '\\') continue;
      if (restore::Chosen(info.FileName, zip.FileSpecs))
        report_.Missing(target_of(info.FileName), folder_cause, "");
    }
    report_.Count(archive, 0);
    return;
  }
  const std::vector<std::pair<std::string, std::string>> displaced =
      flat ? restore::Displaced(zip.Contents, zip.FileSpecs)
           : std::vector<std::pair<std::string, std::string>>();
  int extracted = 0;
  std::set<std::string> written, named;
  {
    const RunWatch watch(zip);
    extracted = zip.Extract();
    for (const std::string& name : watch.Added()) written.insert(restore::WithBackslashes(name));
    for (const RunWatch::Skip& skip : watch.skips()) {
      if (!LeavesOut(skip)) continue;
      report_.Missing(target_of(skip.what), skip.cause, SkipReasonPhrase(skip.reason));
      named.insert(restore::WithBackslashes(skip.what));
    }
  }
  size_t lost = 0;
  for (const auto& [entry, kept] : displaced) {
    if (named.count(entry)) continue;
    report_.Missing(target_of(entry), platform::Cause::kNone,
                    "another file of that name, " + kept + " in the backup, took its place");
    if (written.count(entry)) ++lost;
  }
  const size_t done = extracted > 0 ? static_cast<size_t>(extracted) : 0;
  report_.Count(archive, done > lost ? done - lost : 0);
}

namespace {

constexpr char kNoLooseRestoreMessage[] =
    "No chart files were restored.\n\nChart files that are not in a backup archive are restored "
    "only into the Halvane user data folder";

}  // namespace

bool TFileMaint::AskBeforeRestore(const restore::RestorePlan& plan) {
  if (toolkit_.MessageBox(plan.Question(), toolkit_.ApplicationTitle(),
                          ui::kMbYesNo | ui::kMbIconQuestion | ui::kMbDefButton2) == ui::kIdYes) {
    return true;
  }
  PLabel->SetCaption("Restore cancelled.");
  AdvProgress1->SetPosition(0);
  return false;
}

std::string TFileMaint::ArchiveSource(const std::string& archive) const {
  const std::string comment = Zip1->ZipComment();
  return archive + (comment.empty() ? std::string() : " (\"" + comment + "\")");
}

// The members are written without their stored folders.
void TFileMaint::RestoreFromArchive(const std::string& archive) {
  zip::TZip& zip = *Zip1;
  const bool store_setting = ChartFolderSettingDue();
  // Without an application there is no folder to restore into, and an empty target would mean
  // the archive's own folder.
  std::string chart_target = EDest->Text();
  if (AutoDest->Checked()) {
    chart_target =
        HasUserFilesLayout() ? util::AddBackslash(UserDataFolder) + "Charts" : UserDataFolder;
  }
  const util::StringList chart_specs =
      HasUserFilesLayout() ? restore::ChartPatterns : util::StringList();
  {
    restore::RestorePlan plan;
    {
      ui::BusyCursor busy(toolkit_);
      zip.ZipFileName(archive);
      plan.AddSource(ArchiveSource(archive));
      if (!chart_target.empty()) plan.AddExtraction(zip.Contents, chart_specs, chart_target, true);
      if (HVBackupCB->Checked()) PlanUserData(&plan);
      if (store_setting) plan.AddNote(ChartFolderSettingNote());
    }
    if (plan.Changes() && !AskBeforeRestore(plan)) return;
  }
  {
    ui::BusyCursor busy(toolkit_);
    util::MakeFolderPath(EDest->Text());
    zip.ZipFileName(archive);
    zip::ProgressCaption = "Unzipping and Restoring Chart files.";
    if (store_setting) StoreChartFolderSetting();
    zip.ExtrBaseDir = chart_target;
    zip.ExtrOptions = restore::kUpdateOptions;
    if (!zip.ExtrBaseDir.empty()) {
      if (HasUserFilesLayout()) {
        util::MakeFolderPath(zip.ExtrBaseDir);
        ExtractMatching(chart_specs);
      } else {
        // Whole archive: a list left over from a refused earlier run must not narrow it.
        zip.FileSpecs.clear();
        ExtractReported(/*flat=*/true);
      }
    }
  }
  // Exit was clicked while the library ran: the window is gone, nothing more is restored.
  if (StopRequested) return;
  if (HVBackupCB->Checked() && !RestoreUserData()) return;
  PLabel->SetCaption("Finished.");
  AdvProgress1->SetPosition(100);
  if (!report_.complete()) ReportMessage(report_.RestoreText());
}

// Only older files are replaced.
void TFileMaint::RestoreLooseFiles() {
  UpdateRestoreDestination();
  // The search takes the old chart folder in; the setting is changed only once the user agrees.
  const bool store_setting = ChartFolderSettingDue();
  SearchChartFiles();
  // The search lets window messages run: after Exit the list is released and the run is over.
  if (StopRequested || !FoundFiles) return;
  if (FoundFiles->empty()) {
    PLabel->SetCaption("No Files Found");
    AdvProgress1->SetPosition(0);
    return;
  }
  const std::string destination = EDest->Text();
  if (UserDataFolder.empty() || destination != UserDataFolder) {
    ReportMessage(UserDataFolder.empty()
                      ? std::string(kNoLooseRestoreMessage) + ", and no Halvane installation " +
                            "was found on this computer."
                      : std::string(kNoLooseRestoreMessage) + ":\n" + UserDataFolder);
    PLabel->SetCaption("Finished.");
    AdvProgress1->SetPosition(100);
    return;
  }
  // Files of one name from several folders land on one file: the newest comes back.
  restore::NewestByName newest;
  {
    restore::RestorePlan plan;
    {
      ui::BusyCursor busy(toolkit_);
      newest = restore::NewestOfEachName(*FoundFiles);
      plan.AddSource("loose chart files found below " + ESource->Text());
      plan.AddCopies(*FoundFiles, newest, destination);
      if (store_setting) plan.AddNote(ChartFolderSettingNote());
    }
    if (plan.Changes() && !AskBeforeRestore(plan)) return;
  }
  {
    ui::BusyCursor busy(toolkit_);
    if (store_setting) StoreChartFolderSetting();
    PLabel->SetCaption("Restoring files.");
    util::MakeFolderPath(UserDataFolder);
    size_t copied = 0;
    const size_t count = FoundFiles->size();
    for (size_t i = 0; i < count; ++i) {
      toolkit_.ProcessMessages();
      if (StopRequested || !FoundFiles || i >= FoundFiles->size()) return;
      const util::StringList& found = *FoundFiles;
      AdvProgress1->SetPosition(
          util::RoundedPercent(static_cast<double>(i + 1), static_cast<double>(found.size())));
      const std::string& source = found[i];
      const std::string target = util::AddBackslash(destination) + util::WordWithDot(source);
      if (source == target) continue;
      const std::string& kept = newest[util::FoldCase(util::WordWithDot(source))];
      if (kept != source && kept != target) {
        report_.Missing(source, platform::Cause::kNone,
                        "only one file of that name can be restored, and " + kept + " is newer");
        continue;
      }
      if (platform::GetFileAge(source) > platform::GetFileAge(target)) {
        if (util::CopyFileSetAttr(source, target, 0)) {
          ++copied;
        } else {
          report_.Missing(source, platform::LastCause(), "it could not be copied");
        }
      }
    }
    report_.Count("the chart files found below " + ESource->Text(), copied);
  }
  PLabel->SetCaption("Finished.");
  AdvProgress1->SetPosition(100);
  if (!report_.complete()) ReportMessage(report_.RestoreText());
}

void TFileMaint::RestoreButtClick() {
  AdvProgress1->SetPosition(0);
  PLabel->SetCaption("");
  if (ESource->Text().empty() || EDest->Text().empty()) {
    ReportMessage("Both Source and Dest must be selected.");
    return;
  }
  PLabel->SetCaption("Working.");
  report_.Clear();
  const std::string archive = util::AddBackslash(ESource->Text()) + kChartArchiveName;
  if (util::FileExistsChecked(archive)) {
    RestoreFromArchive(archive);
  } else {
    RestoreLooseFiles();
  }
}

}  // namespace app
