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

namespace {

std::string WithBackslashes(std::string name) {
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

// Whether the library takes this entry for one of the file patterns, as it matches them: a pattern
// with a backslash against the whole stored path, any other against the file name alone; no
// pattern at all takes everything.
bool Chosen(const std::string& entry, const util::StringList& specs) {
  if (specs.empty()) return true;
  for (const std::string& spec : specs) {
    const std::string mask = WithBackslashes(spec);
    if (util::MatchesMask(mask.find('\\') != std::string::npos ? entry : util::NameOf(entry), mask))
      return true;
  }
  return false;
}

// In a restore that drops the stored folders, entries of one file name from several folders all
// land on one file, and only one of them can come back: the newest, as the update keeps it (the
// first of equals). Each other one, with the entry that takes its place.
std::vector<std::pair<std::string, std::string>> Displaced(
    const std::vector<zip::TFileInfo>& contents, const util::StringList& specs) {
  std::map<std::string, std::vector<const zip::TFileInfo*>> by_name;
  for (const zip::TFileInfo& info : contents) {
    if (info.FileName.empty() || info.FileName.back() == '\\') continue;
    if (!Chosen(info.FileName, specs)) continue;
    by_name[util::FoldCase(util::NameOf(info.FileName))].push_back(&info);
  }
  std::vector<std::pair<std::string, std::string>> displaced;
  for (const auto& [name, entries] : by_name) {
    if (entries.size() < 2) continue;
    const zip::TFileInfo* kept = entries.front();
    for (const zip::TFileInfo* entry : entries) {
      if (static_cast<uint32_t>(entry->DosDateTime()) > static_cast<uint32_t>(kept->DosDateTime()))
        kept = entry;
    }
    for (const zip::TFileInfo* entry : entries) {
      if (entry != kept) displaced.emplace_back(entry->FileName, kept->FileName);
    }
  }
  return displaced;
}

}  // namespace

void TFileMaint::ExtractReported(bool flat) {
  zip::TZip& zip = *Zip1;
  const std::string archive = util::NameOf(zip.ZipFileName());
  const std::string folder = util::AddBackslash(zip.ExtrBaseDir);
  // Where an entry was to be written, as the user will look for it, and where it came from.
  const auto target_of = [&](const std::string& entry) {
    const std::string name = WithBackslashes(entry);
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
      if (Chosen(info.FileName, zip.FileSpecs))
        report_.Missing(target_of(info.FileName), folder_cause, "");
    }
    report_.Count(archive, 0);
    return;
  }
  const std::vector<std::pair<std::string, std::string>> displaced =
      flat ? Displaced(zip.Contents, zip.FileSpecs)
           : std::vector<std::pair<std::string, std::string>>();
  int extracted = 0;
  std::set<std::string> written, named;
  {
    const RunWatch watch(zip);
    extracted = zip.Extract();
    for (const std::string& name : watch.Added()) written.insert(WithBackslashes(name));
    for (const RunWatch::Skip& skip : watch.skips()) {
      if (!LeavesOut(skip)) continue;
      report_.Missing(target_of(skip.what), skip.cause, SkipReasonPhrase(skip.reason));
      named.insert(WithBackslashes(skip.what));
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
      // Files of one name from several folders land on one file: the newest comes back.
      // Folded name -> its newest found file and that file's age; a name found once is not
      // looked at here.
      std::map<std::string, std::pair<std::string, std::optional<int32_t>>> newest;
      for (const std::string& found : *FoundFiles) {
        const auto [it, first] =
            newest.try_emplace(util::FoldCase(util::WordWithDot(found)), found, std::nullopt);
        if (first) continue;
        auto& [path, age] = it->second;
        if (!age) age = platform::GetFileAge(path);
        const int32_t found_age = platform::GetFileAge(found);
        if (found_age > *age) it->second = {found, found_age};
      }
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
        const std::string& kept = newest[util::FoldCase(util::WordWithDot(source))].first;
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
  }
  if (copied_nothing) {
    ReportMessage(UserDataFolder.empty()
                      ? std::string(kNoLooseRestoreMessage) + ", and no Halvane installation " +
                            "was found on this computer."
                      : std::string(kNoLooseRestoreMessage) + ":\n" + UserDataFolder);
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
