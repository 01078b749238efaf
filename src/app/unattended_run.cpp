#include "app/unattended_run.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include "app/file_maint.h"
#include "backup/archive_check.h"
#include "backup/backup_command.h"
#include "base/scope_exit.h"
#include "command/run_watch.h"
#include "platform/folder_lock.h"
#include "platform/platform.h"
#include "ui/console/console_toolkit.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"
#include "zip/zip_options.h"

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

void Say(const std::string& text) { platform::WriteToConsole(text + "\n"); }

// "1,234"
std::string Grouped(uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
  return digits;
}

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

std::string Now() {
  const std::time_t now = std::time(nullptr);
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  return text;
}

// A line now and then while the component works: files and bytes begun of the batch, under the
// component's caption, no more than one a second, and one when the batch ends.
class ProgressLines {
 public:
  explicit ProgressLines(zip::TZip& zip)
      : zip_(zip), begin_(zip.OnZEDBeginFileEvent), end_(zip.OnZEDEndBatchEvent) {
    zip_.OnZEDBeginFileEvent = [this](zip::TZip& sender, const std::string& name, int size,
                                      int count, int bytes) {
      if (!started_) Start();
      ++files_;
      bytes_ += size > 0 ? static_cast<uint64_t>(size) : 0;
      count_ = count;
      if (Clock::now() - said_ >= std::chrono::seconds(1)) {
        Say("  " + Caption() + ": " + Grouped(files_) + " of " + Grouped(count_) + " files, " +
            Megabytes(bytes_));
        said_ = Clock::now();
      }
      if (begin_) begin_(sender, name, size, count, bytes);
    };
    zip_.OnZEDEndBatchEvent = [this](zip::TZip& sender, int skipped, int count, int bytes) {
      if (started_) {
        Say("  " + Caption() + ": " + Grouped(files_) + " files, " + Megabytes(bytes_) +
            (skipped > 0 ? ", " + Grouped(static_cast<uint64_t>(skipped)) + " skipped" : "") +
            ".");
      }
      started_ = false;
      if (end_) end_(sender, skipped, count, bytes);
    };
  }
  ~ProgressLines() {
    zip_.OnZEDBeginFileEvent = begin_;
    zip_.OnZEDEndBatchEvent = end_;
  }
  ProgressLines(const ProgressLines&) = delete;
  ProgressLines& operator=(const ProgressLines&) = delete;

 private:
  void Start() {
    started_ = true;
    files_ = 0;
    bytes_ = 0;
    said_ = Clock::now();
  }
  static std::string Caption() {
    std::string caption = zip::ProgressCaption;
    while (!caption.empty() && (caption.back() == '.' || caption.back() == ' ')) {
      caption.pop_back();
    }
    return caption;
  }

  zip::TZip& zip_;
  zip::TZEDBeginFileEvent begin_;
  zip::TZEDEndBatchEvent end_;
  bool started_ = false;
  uint64_t files_ = 0, bytes_ = 0;
  int count_ = 0;
  Clock::time_point said_;
};

// The files stored in an archive and their bytes, from its directory; false when it cannot be
// read.
bool Stored(zip::TZip& zip, const std::string& archive, uint64_t* files, uint64_t* bytes) {
  *files = *bytes = 0;
  try {
    zip.ZipFileName(archive);
  } catch (const zip::ZipException&) {
    return false;
  }
  for (const zip::TFileInfo& info : zip.Contents) {
    if (info.IsFolder()) continue;
    ++*files;
    *bytes += info.UncompressedSize();
  }
  return true;
}

std::string Indented(const std::string& text) {
  std::string lines = "  ";
  for (char c : text) {
    lines += c;
    if (c == '\n') lines += "  ";
  }
  while (!lines.empty() && (lines.back() == ' ' || lines.back() == '\n')) lines.pop_back();
  return lines;
}

// Appends the record to the folder's log under the folder's lock, so that two runs never write
// it at once. False, with the console told, when it cannot be written.
bool AppendToLog(const std::string& folder, const std::string& record) {
  const std::string log = base::AddBackslash(folder) + kBackupLogName;
  bool held = false;
  const std::unique_ptr<platform::FolderLock> lock =
      platform::FolderLock::Take(base::AddBackslash(folder), 3000, &held);
  if (!lock && held) {
    Say("This run could not be added to the log " + log +
        ": another backup into this folder is running, and the log is its to write now.");
    return false;
  }
  std::string text;
  if (util::FileExistsChecked(log) && !platform::ReadWholeFile(log, &text)) {
    Say("The log " + log + " could not be read, so this run is not in it: " +
        platform::CausePhrase(platform::LastCause()) + ". It has been left as it was.");
    return false;
  }
  if (!platform::WriteWholeFileSafely(log, WithRecord(text, record))) {
    Say("This run could not be added to the log " + log + ": " +
        platform::CausePhrase(platform::LastCause()) + ".");
    return false;
  }
  return true;
}

}  // namespace

std::string WithRecord(const std::string& log, const std::string& record) {
  // Where each record begins.
  std::vector<size_t> starts;
  for (size_t at = 0; at < log.size(); at = log.find('\n', at) + 1) {
    if (log[at] != ' ' && log[at] != '\r' && log[at] != '\n') starts.push_back(at);
    if (log.find('\n', at) == std::string::npos) break;
  }
  std::string kept = log;
  if (starts.size() >= kLoggedRuns) kept = log.substr(starts[starts.size() - (kLoggedRuns - 1)]);
  if (!kept.empty() && kept.back() != '\n') kept += "\r\n";
  std::string lines;
  for (char c : record) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  return kept + lines + "\r\n";
}

int RunBackupFromCommandLine(const CommandLine& line) {
  ui::console::ConsoleToolkit toolkit;
  ui::SetToolkit(&toolkit);
  const base::ScopeExit unset([] { ui::SetToolkit(nullptr); });
  const std::string started_at = Now();
  const Clock::time_point started = Clock::now();
  // What the window would have shown in boxes; the report's own box is logged from the report.
  std::vector<std::string> told;
  toolkit.on_message = [&told](const std::string& text, const std::string& answer) {
    const bool asked = answer != "OK";
    Say(text + (asked ? "\n(Answered " + answer + ": a run from the command line asks no one.)"
                      : ""));
    told.push_back(asked ? text + "\n(Answered " + answer + ".)" : text);
  };

  // A folder typed as the host names it must lie on one of the drives.
  for (const std::string& folder : {line.destination, line.source}) {
    const std::string drive_path = platform::DrivePathOfTypedPath(folder);
    if (!folder.empty() && (drive_path.size() < 2 || drive_path[1] != ':')) {
      Say("No backup has been made: " + folder +
          " is on no drive of this computer that the program can reach.");
      Say("Result: the backup failed; an earlier backup there is as it was.");
      return kExitFailed;
    }
  }
  locations::Locations found;
  locations::ClearLocations(found);
  locations::LocateApplication(util::GetDocumentsDir(), found);
  // The folders as the window would propose and take them.
  backup::BackupRequest request;
  request.source = platform::DrivePathOfTypedPath(
      line.source.empty() ? BackupSourceProposal(found, line.whole_disk) : line.source);
  request.destination = platform::DrivePathOfTypedPath(line.destination);
  request.user_data = line.user_data.value_or(true);
  request.keep_earlier = line.keep.value_or(backup::kEarlierBackupsKept);
  zip::TZip zip;
  zip.ShowProgressDialog = false;
  const command::Tools tools{toolkit, zip, base::StopToken()};
  backup::BackupResult run;
  if (request.source.empty() || request.destination.empty()) {
    tools.Tell("Both Source and Dest must be selected.");
  } else {
    request.source = base::AddBackslash(request.source);
    request.destination = base::AddBackslash(request.destination);
    const ProgressLines progress(zip);
    backup::BackupCommand command(tools, found, nullptr);
    run = command.Run(request);
  }
  const std::string& folder = request.destination;
  const std::string& source = request.source;
  const command::RunReport& report = run.report;
  const bool finished = run.outcome == command::Outcome::kFinished;
  size_t written = 0;
  for (const command::RunReport::Tally& tally : report.tallies()) written += tally.done > 0 ? 1 : 0;
  const int status = !finished            ? kExitFailed
                     : report.complete() ? kExitDone
                     : written > 0       ? kExitLeftOut
                                         : kExitFailed;

  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  std::string record = started_at + "  Backup of " + source + " into " + folder + "\n";
  uint64_t all_files = 0, all_bytes = 0;
  for (const command::RunReport::Tally& tally : report.tallies()) {
    uint64_t files = 0, bytes = 0;
    if (tally.done > 0 && Stored(zip, folder + tally.archive, &files, &bytes)) {
      record += "  " + tally.archive + ": " + Grouped(files) + " files, " + Megabytes(bytes) +
                " stored\n";
      all_files += files;
      all_bytes += bytes;
    }
  }
  zip.ZipFileName("");
  char took[64];
  std::snprintf(took, sizeof took, "%.1f s", seconds);
  record += "  " + Grouped(all_files) + " files, " + Megabytes(all_bytes) + ", in " + took + "\n";
  for (const std::string& dropped : run.dropped_backups) {
    Say("Earlier backup dropped: " + dropped + ".");
    record += "  Earlier backup dropped: " + dropped + "\n";
  }
  for (const std::string& note : report.notes()) record += Indented(note) + "\n";
  for (const std::string& missing : report.missing()) record += "  Left out: " + missing + "\n";
  for (const std::string& text : told) {
    if (!report.complete() && text == report.BackupText()) continue;
    record += Indented(text) + "\n";
  }
  const char* result = status == kExitDone     ? "every file found was backed up and verified"
                       : status == kExitLeftOut ? "the backup was written and verified, but files "
                                                  "were left out"
                                                : "the backup failed; an earlier backup there is "
                                                  "as it was";
  record += "  Result: " + std::string(result) + " (exit status " + std::to_string(status) + ").";
  if (platform::FolderExists(folder)) AppendToLog(folder, record);
  Say(std::string("Result: ") + result + ".");
  return status;
}

int RunVerifyFromCommandLine(const CommandLine& line) {
  ui::console::ConsoleToolkit toolkit;
  ui::SetToolkit(&toolkit);
  const base::ScopeExit unset([] { ui::SetToolkit(nullptr); });
  toolkit.on_message = [](const std::string& text, const std::string&) { Say(text); };
  const std::string path = platform::DrivePathOfTypedPath(line.verify);
  std::vector<std::string> archives;
  if (platform::FolderExists(path)) {
    const std::string folder = base::AddBackslash(path);
    archives.push_back(folder + command::kChartArchiveName);
    if (util::FileExistsChecked(folder + command::kUserDataArchiveName)) {
      archives.push_back(folder + command::kUserDataArchiveName);
    }
  } else {
    archives.push_back(path);
  }
  zip::TZip zip;
  zip.ShowProgressDialog = false;
  bool sound = true;
  for (const std::string& archive : archives) {
    if (!util::FileExistsChecked(archive)) {
      Say(archive + (archive == path ? " is not there." : " is not there: the folder holds no backup."));
      sound = false;
      continue;
    }
    try {
      zip.ZipFileName(archive);
    } catch (const zip::ZipException& error) {
      Say(archive + " cannot be read: " + error.what());
      sound = false;
      continue;
    }
    size_t files = 0;
    for (const zip::TFileInfo& info : zip.Contents) {
      if (!info.IsFolder()) ++files;
    }
    const backup::EntriesRead read = backup::ReadBackEntries(zip);
    const int tested = read.tested;
    const std::string& failure = read.failure;
    std::vector<std::string> damaged;
    for (const command::RunWatch::Skip& skip : read.skips) {
      damaged.push_back(skip.what + ": " + (skip.why.empty() ? "it cannot be read" : skip.why));
    }
    zip.ZipFileName("");
    if (damaged.empty() && tested == static_cast<int>(files)) {
      Say(archive + ": all " + Grouped(files) + " files are sound.");
      continue;
    }
    sound = false;
    Say(archive + ": " + Grouped(damaged.empty() ? files - std::max(tested, 0) : damaged.size()) +
        " of " + Grouped(files) + " files are damaged or cannot be read:");
    for (const std::string& entry : damaged) Say("  " + entry);
    if (damaged.empty() && !failure.empty()) Say("  " + failure);
  }
  return sound ? kExitDone : kExitFailed;
}

}  // namespace app
