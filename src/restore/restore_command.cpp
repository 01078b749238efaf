// The Restore command: a chart archive in the source folder is extracted into the application's
// chart folder (and its user-data archive by category); without one, the chart files found below
// the source are copied into the application's user-data folder.
#include "restore/restore_command.h"

#include <optional>
#include <set>
#include <utility>

#include "base/wildcard.h"
#include "command/run_watch.h"
#include "platform/platform.h"
#include "restore/restore_masks.h"
#include "restore/restore_plan.h"
#include "search/chart_folder_setting.h"
#include "search/chart_search.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace restore {

void RestoreCommand::ExtractMatching(const base::StringList& patterns) {
  result_.files = patterns;
  tools_.zip.FileSpecs = patterns;
  ExtractReported(/*flat=*/true);
}

void RestoreCommand::ExtractReported(bool flat) {
  zip::TZip& zip = tools_.zip;
  command::RunReport& report = result_.report;
  const std::string archive = base::NameOf(zip.ZipFileName());
  const std::string folder = base::AddBackslash(zip.ExtrBaseDir);
  // Where an entry was to be written, as the user will look for it, and where it came from.
  const auto target_of = [&](const std::string& entry) {
    const std::string name = WithBackslashes(entry);
    const std::string file = flat ? base::NameOf(name) : name;
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
      if (info.IsFolder()) continue;
      if (Chosen(info.FileName, zip.FileSpecs))
        report.Missing(target_of(info.FileName), folder_cause, "");
    }
    report.Count(archive, 0);
    return;
  }
  const std::vector<std::pair<std::string, std::string>> displaced =
      flat ? Displaced(zip.Contents, zip.FileSpecs)
           : std::vector<std::pair<std::string, std::string>>();
  int extracted = 0;
  std::set<std::string> written, named;
  {
    const command::RunWatch watch(zip);
    extracted = zip.Extract();
    for (const std::string& name : watch.Added()) written.insert(WithBackslashes(name));
    for (const command::RunWatch::Skip& skip : watch.skips()) {
      if (!command::LeavesOut(skip)) continue;
      report.Missing(target_of(skip.what), skip.cause, command::SkipReasonPhrase(skip.reason));
      named.insert(WithBackslashes(skip.what));
    }
  }
  size_t lost = 0;
  for (const auto& [entry, kept] : displaced) {
    if (named.count(entry)) continue;
    report.Missing(target_of(entry), platform::Cause::kNone,
                   "another file of that name, " + kept + " in the backup, took its place");
    if (written.count(entry)) ++lost;
  }
  const size_t done = extracted > 0 ? static_cast<size_t>(extracted) : 0;
  report.Count(archive, done > lost ? done - lost : 0);
}

namespace {

constexpr char kNoLooseRestoreMessage[] =
    "No chart files were restored.\n\nChart files that are not in a backup archive are restored "
    "only into the Halvane user data folder";

}  // namespace

RestoreCommand::RestoreCommand(const command::Tools& tools, locations::Locations& found)
    : tools_(tools), found_(found) {}

RestoreResult RestoreCommand::Run(const RestoreRequest& request) {
  request_ = request;
  result_ = RestoreResult();
  const std::string archive = base::AddBackslash(request_.source) + command::kChartArchiveName;
  result_.outcome = util::FileExistsChecked(archive) ? FromArchive(archive) : LooseFiles();
  return std::move(result_);
}

command::Outcome RestoreCommand::Finished() {
  tools_.Status("Finished.");
  tools_.Progress(100);
  if (!result_.report.complete()) tools_.Tell(result_.report.RestoreText());
  return command::Outcome::kFinished;
}

bool RestoreCommand::AskBeforeRestore(const RestorePlan& plan) {
  if (tools_.toolkit.MessageBox(plan.Question(), tools_.toolkit.ApplicationTitle(),
                                ui::kMbYesNo | ui::kMbIconQuestion | ui::kMbDefButton2) ==
      ui::kIdYes) {
    return true;
  }
  tools_.Status("Restore cancelled.");
  tools_.Progress(0);
  return false;
}

std::string RestoreCommand::ArchiveSource(const std::string& archive) const {
  const std::string comment = tools_.zip.ZipComment();
  return archive + (comment.empty() ? std::string() : " (\"" + comment + "\")");
}

// The members are written without their stored folders.
command::Outcome RestoreCommand::FromArchive(const std::string& archive) {
  zip::TZip& zip = tools_.zip;
  const bool store_setting = search::ChartFolderSettingDue(found_, request_.auto_destination);
  // Without an application there is no folder to restore into, and an empty target would mean
  // the archive's own folder.
  std::string chart_target = request_.destination;
  if (request_.auto_destination) {
    chart_target = locations::HasUserFilesLayout()
                       ? base::AddBackslash(found_.UserDataFolder) + "Charts"
                       : found_.UserDataFolder;
  }
  const base::StringList chart_specs =
      locations::HasUserFilesLayout() ? ChartPatterns : base::StringList();
  {
    RestorePlan plan;
    {
      ui::BusyCursor busy(tools_.toolkit);
      zip.ZipFileName(archive);
      plan.AddSource(ArchiveSource(archive));
      if (!chart_target.empty()) plan.AddExtraction(zip.Contents, chart_specs, chart_target, true);
      if (request_.user_data) PlanUserData(&plan);
      if (store_setting) plan.AddNote(search::ChartFolderSettingNote(found_));
    }
    if (plan.Changes() && !AskBeforeRestore(plan)) return command::Outcome::kDeclined;
  }
  {
    ui::BusyCursor busy(tools_.toolkit);
    util::MakeFolderPath(request_.destination);
    zip.ZipFileName(archive);
    zip::ProgressCaption = "Unzipping and Restoring Chart files.";
    if (store_setting) search::StoreChartFolderSetting(found_);
    zip.ExtrBaseDir = chart_target;
    zip.ExtrOptions = kUpdateOptions;
    if (!zip.ExtrBaseDir.empty()) {
      if (locations::HasUserFilesLayout()) {
        util::MakeFolderPath(zip.ExtrBaseDir);
        ExtractMatching(chart_specs);
      } else {
        // Whole archive: a list left over from a refused earlier run must not narrow it.
        zip.FileSpecs.clear();
        ExtractReported(/*flat=*/true);
      }
    }
  }
  // Exit was clicked while the library ran: nothing more is restored.
  if (tools_.Stopped()) return command::Outcome::kStopped;
  if (request_.user_data && !RestoreUserData()) return command::Outcome::kFailed;
  if (tools_.Stopped()) return command::Outcome::kStopped;
  return Finished();
}

// Only older files are replaced.
command::Outcome RestoreCommand::LooseFiles() {
  // Without an archive there is no comment to name the folder backed up: the automatic
  // destination is the user-data folder itself.
  std::string destination = request_.destination;
  if (request_.auto_destination) {
    destination = found_.UserDataFolder;
    result_.destination = destination;
  }
  // The search takes the old chart folder in; the setting is changed only once the user agrees.
  const bool store_setting = search::ChartFolderSettingDue(found_, request_.auto_destination);
  if (request_.source.empty()) return command::Outcome::kDeclined;
  const std::string source = base::AddBackslash(request_.source);
  std::optional<search::Found> found =
      search::SearchChartFiles(tools_, source, request_.user_data,
                               search::ChartFolderApart(found_, request_.auto_destination));
  if (!found) return command::Outcome::kStopped;
  result_.folders = std::move(found->folders);
  result_.files = std::move(found->files);
  const base::StringList& files = *result_.files;
  if (tools_.Stopped()) return command::Outcome::kStopped;
  if (files.empty()) {
    tools_.Status("No Files Found");
    tools_.Progress(0);
    return command::Outcome::kDeclined;
  }
  if (found_.UserDataFolder.empty() || destination != found_.UserDataFolder) {
    tools_.Tell(found_.UserDataFolder.empty()
                    ? std::string(kNoLooseRestoreMessage) + ", and no Halvane installation " +
                          "was found on this computer."
                    : std::string(kNoLooseRestoreMessage) + ":\n" + found_.UserDataFolder);
    tools_.Status("Finished.");
    tools_.Progress(100);
    return command::Outcome::kDeclined;
  }
  // Files of one name from several folders land on one file: the newest comes back.
  NewestByName newest;
  {
    RestorePlan plan;
    {
      ui::BusyCursor busy(tools_.toolkit);
      newest = NewestOfEachName(files);
      plan.AddSource("loose chart files found below " + source);
      plan.AddCopies(files, newest, destination);
      if (store_setting) plan.AddNote(search::ChartFolderSettingNote(found_));
    }
    if (plan.Changes() && !AskBeforeRestore(plan)) return command::Outcome::kDeclined;
  }
  {
    ui::BusyCursor busy(tools_.toolkit);
    if (store_setting) search::StoreChartFolderSetting(found_);
    tools_.Status("Restoring files.");
    util::MakeFolderPath(found_.UserDataFolder);
    size_t copied = 0;
    const size_t count = files.size();
    for (size_t i = 0; i < count; ++i) {
      tools_.LetMessagesRun();
      if (tools_.Stopped()) return command::Outcome::kStopped;
      tools_.Progress(base::RoundedPercent(static_cast<double>(i + 1), static_cast<double>(count)));
      const std::string& from = files[i];
      const std::string target = base::AddBackslash(destination) + base::WordWithDot(from);
      if (from == target) continue;
      const std::string& kept = newest[base::FoldCase(base::WordWithDot(from))];
      if (kept != from && kept != target) {
        result_.report.Missing(
            from, platform::Cause::kNone,
            "only one file of that name can be restored, and " + kept + " is newer");
        continue;
      }
      if (platform::GetFileAge(from) > platform::GetFileAge(target)) {
        if (util::CopyFileSetAttr(from, target, 0)) {
          ++copied;
        } else {
          result_.report.Missing(from, platform::LastCause(), "it could not be copied");
        }
      }
    }
    result_.report.Count("the chart files found below " + source, copied);
  }
  return Finished();
}

}  // namespace restore
