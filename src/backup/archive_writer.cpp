// WriteArchive: one archive of the files found, written so that the user never loses the last good
// backup. The new archive is made under a temporary name beside the old one, read back and
// checked entry by entry, and takes the old one's name only then; a failed, cancelled or damaged
// run leaves the old archive as it was.
#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "backup/archive_check.h"
#include "backup/backup_command.h"
#include "backup/backup_history.h"
#include "base/scope_exit.h"
#include "base/wildcard.h"
#include "command/run_watch.h"
#include "platform/name_encoding.h"
#include "platform/platform.h"
#include "platform/work_files.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace backup {
namespace {

// A run that was killed or crashed leaves its work files behind, as large as the archive; on a
// stick repeated runs would fill it. Those that no process has open are removed from the backup
// folder and from the temporary folder, where the component keeps its copy of an archive.
void RemoveLeftWorkFiles(const std::string& folder) {
  platform::RemoveLeftWorkFiles(base::AddBackslash(folder));
  platform::RemoveLeftWorkFiles(platform::GetTempPath());
}

// Until committed, closes the component and deletes the temporary archive: on a failure, a
// cancel, or an error that leaves the command.
class TemporaryArchive {
 public:
  TemporaryArchive(zip::TZip& zip, std::string path)
      : path_(std::move(path)), discard_([this, &zip] {
          zip.ZipFileName("");
          platform::DeleteFile(path_);
        }) {}

  const std::string& path() const { return path_; }
  void Commit() { discard_.Release(); }

 private:
  std::string path_;
  base::ScopeExit<std::function<void()>> discard_;  // after path_, so that it runs first
};

// A fresh name in folder for the new archive, not yet existing (the component creates the file).
std::string TemporaryName(const std::string& folder) {
  std::string name;
  // No new file to be had (a folder that cannot be written): a work name fails in the same way,
  // with the component's own message.
  if (!platform::CreateWorkFile(folder, "backup", &name)) {
    return folder + platform::WorkFileName("backup");
  }
  platform::DeleteFile(name);
  return name;
}

// The user hears about the archive by its real name, never the temporary one.
std::string Renamed(std::string message, const std::string& from, const std::string& to) {
  for (size_t at = message.find(from); at != std::string::npos;
       at = message.find(from, at + to.size())) {
    message.replace(at, from.size(), to);
  }
  return message;
}

// "28.3 MB", "512 KB": sizes as a person reads them.
std::string Megabytes(uint64_t bytes) {
  char text[32];
  if (bytes < (1u << 20)) {
    std::snprintf(text, sizeof text, "%llu KB",
                  static_cast<unsigned long long>((bytes + 1023) / 1024));
  } else {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
  }
  return text;
}

// The stored name ("Src\Smith.cht") is the added path ("C:\Src\Smith.cht") or its tail.
bool NamesFile(const std::string& stored, const std::string& path) {
  if (stored.size() > path.size()) return false;
  if (stored.size() < path.size() && path[path.size() - stored.size() - 1] != '\\') return false;
  // The library names the file as it was listed, which may differ in case from what is stored.
  return base::EqualNoCase(std::string_view(path).substr(path.size() - stored.size()), stored);
}

// The first added file that no entry of the archive names, or empty when each is named once;
// *files then tells the file of each stored name.
std::string Unmatched(const std::vector<std::string>& stored_files,
                      const std::vector<std::string>& added, AddedFiles* files) {
  // Entries by their last element, folded as EqualNoCase compares, so each added path is held
  // against a few candidates.
  std::multimap<std::string, const std::string*> by_name;
  for (const std::string& stored : stored_files) {
    by_name.emplace(base::FoldCase(stored.substr(stored.find_last_of('\\') + 1)), &stored);
  }
  for (const std::string& path : added) {
    // A name in the system's older code page is stored in UTF-8.
    std::string as_stored, why;
    if (!platform::NameAsUtf8(path, &as_stored, &why)) as_stored = path;
    const auto [first, last] = by_name.equal_range(base::FoldCase(base::NameOf(as_stored)));
    auto match = first;
    while (match != last && !NamesFile(*match->second, as_stored)) ++match;
    if (match == last) return path;
    (*files)[*match->second] = path;
    by_name.erase(match);
  }
  return std::string();
}

// Why the library skipped something, without the name it begins with: it says 'Skipped "x": why.'
// or 'Skipped x: why'.
std::string Reason(const command::RunWatch::Skip& skip, const std::string& otherwise) {
  std::string why = skip.why;
  for (const std::string& lead :
       {"Skipped \"" + skip.what + "\": ", "Skipped " + skip.what + ": "}) {
    if (why.rfind(lead, 0) == 0) {
      why.erase(0, lead.size());
      break;
    }
  }
  while (!why.empty() && why.back() == '.') why.pop_back();
  return why.empty() ? otherwise : "(" + why + ")";
}

enum class Check { kSound, kCancelled, kFaulty };

// Reads the new archive back with the extracting library in test mode: every entry's data must
// match its CRC, and its files must be those the adding library said it added, as many as its
// result. *problem says what is wrong, for the user.
Check CheckArchive(zip::TZip& zip, const std::string& path, const std::string& comment,
                   const std::vector<std::string>& added, int count, bool compare_names,
                   std::string* problem) {
  try {
    zip.ZipFileName(path);
  } catch (const zip::ZipException& error) {
    *problem = std::string("its directory cannot be read (") + error.what() + ")";
    return Check::kFaulty;
  }
  std::vector<std::string> stored_files;
  for (const zip::TFileInfo& info : zip.Contents) {
    if (!info.IsFolder()) stored_files.push_back(info.FileName);
  }
  if (stored_files.size() != static_cast<size_t>(count) ||
      added.size() != static_cast<size_t>(count)) {
    *problem = "it holds " + std::to_string(stored_files.size()) + " files where " +
               std::to_string(count) + " were added";
    return Check::kFaulty;
  }
  AddedFiles files;
  if (compare_names) {
    const std::string missing = Unmatched(stored_files, added, &files);
    if (!missing.empty()) {
      *problem = "no entry holds " + missing;
      return Check::kFaulty;
    }
  }
  *problem = DirectoryProblem(path, comment, files);
  if (!problem->empty()) return Check::kFaulty;
  if (count == 0) return Check::kSound;

  // The progress window says what is read, and then what it said before.
  const base::ScopeExit put_back(
      [caption = zip::ProgressCaption] { zip::ProgressCaption = caption; });
  zip::ProgressCaption = "Verifying the backup.";
  const EntriesRead read = ReadBackEntries(zip);
  if (read.cancelled) return Check::kCancelled;
  if (!read.skips.empty()) {
    const command::RunWatch::Skip& skip = read.skips.front();
    *problem = "\"" + skip.what + "\" " + Reason(skip, "cannot be read back");
    return Check::kFaulty;
  }
  if (read.tested != count) {
    *problem = read.failure.empty() ? "only " + std::to_string(read.tested) + " of its " +
                                          std::to_string(count) + " files read back"
                                    : read.failure;
    return Check::kFaulty;
  }
  return Check::kSound;
}

}  // namespace

BackupCommand::Written BackupCommand::WriteArchive(
    const std::string& target_folder, const std::string& file_name, const std::string& comment,
    const std::string& caption, int options, const std::string& kind, const std::string& place) {
  zip::TZip& zip = tools_.zip;
  command::RunReport& report = result_.report;
  util::MakeFolderPath(target_folder);
  RemoveLeftWorkFiles(target_folder);
  const std::string archive = base::AddBackslash(target_folder) + file_name;
  // The CD's staging folder keeps no history: only the newest archives go to the CD.
  const bool keeps_history = request_.keep_earlier > 0 && !request_.to_cd;
  if (keeps_history) MakeRoomFor(target_folder, archive);
  TemporaryArchive temporary(zip, TemporaryName(base::AddBackslash(target_folder)));
  // Every way this ends without a new archive says what was kept, and what could not be read.
  const auto fail = [&](const std::string& what) {
    zip.ZipFileName("");
    const bool kept = util::FileExistsChecked(archive);
    std::string text = Renamed(what, temporary.path(), archive) + " " +
                       (kept ? "An earlier backup there has been left as it was."
                             : "No backup has been made there.");
    if (report.missing_count() > 0) {
      text += "\n\nThese could not be read either:\n" + report.MissingList();
    }
    tools_.Tell(text);
    return Written::kFailed;
  };
  try {
    zip.ZipFileName(temporary.path());
  } catch (const zip::ZipException& error) {
    // The folder cannot be written, or the drive is gone: why, as the system said.
    const std::string why = platform::CausePhrase(platform::LastCause());
    if (why.empty()) throw zip::ZipException(Renamed(error.what(), temporary.path(), archive));
    return fail("The backup could not be written to " + archive + ": " + why + ".");
  }
  zip.ZipComment(comment);
  zip::ProgressCaption = caption;
  zip.AddOptions = static_cast<uint8_t>(options);
  const size_t specs = files_.size();
  // Nothing to store, or nothing of it could be read: a backup of nothing never takes the place
  // of one that holds something.
  const auto nothing_stored = [&](bool left_out) {
    zip.ZipFileName("");
    const bool kept = util::FileExistsChecked(archive);
    report.Note((left_out ? "None of the " + kind + " found " + place +
                                " could be read, so nothing of them was backed up."
                          : "No " + kind + " were found " + place + ".") +
                " " +
                (kept ? "The backup " + file_name + " in " + base::AddBackslash(target_folder) +
                            " has been left as it was."
                      : "No " + file_name + " has been made in " +
                            base::AddBackslash(target_folder) + "."));
    return Written::kNothing;
  };
  if (specs == 0) return nothing_stored(false);
  // A run the component refused before the library saw it leaves its specs behind.
  zip.FileSpecs.clear();
  zip.FileSpecs.insert(zip.FileSpecs.end(), files_.begin(), files_.end());
  int added = 0;
  std::vector<std::string> added_files;
  std::string failure;
  platform::Cause failure_cause = platform::Cause::kNone;
  int64_t needed = 0;
  bool ended = false;
  const size_t missing_before = report.missing_count();
  {
    const command::RunWatch watch(zip);
    zip.Cancelled = false;
    added = zip.Add();
    added_files = watch.Added();
    ended = watch.ended();
    failure = watch.failure();
    failure_cause = watch.failure_cause();
    needed = watch.needed();
    for (const command::RunWatch::Skip& skip : watch.skips()) {
      if (!command::LeavesOut(skip)) continue;
      // A folder the library could not list is named with its backslash.
      if (!skip.what.empty() && skip.what.back() == '\\') {
        report.MissingFolder(skip.what, skip.cause);
      } else {
        report.Missing(skip.what, skip.cause, command::SkipReasonPhrase(skip.reason));
      }
    }
  }
  if (zip.Cancelled) return Written::kFailed;
  if (ended && added <= 0) return nothing_stored(report.missing_count() > missing_before);
  if (added <= 0 || !ended) {
    std::string why = platform::CausePhrase(failure_cause);
    if (failure_cause == platform::Cause::kDiskFull && needed > 0) {
      uint64_t free_bytes = 0;
      const uint64_t wanted = static_cast<uint64_t>(needed);
      if (platform::GetDiskFreeSpaceEx(base::AddBackslash(target_folder), &free_bytes) &&
          wanted > free_bytes) {
        why += " (about " + Megabytes(wanted - free_bytes) + " more are needed; " +
               Megabytes(free_bytes) + " are free)";
      } else {
        why += " (the backup needs about " + Megabytes(wanted) + ")";
      }
    }
    if (why.empty() && !failure.empty()) why = failure;
    return fail("The backup could not be written to " + archive + (why.empty() ? "" : ": " + why) +
                ".");
  }
  std::string problem;
  switch (CheckArchive(zip, temporary.path(), comment, added_files, added, !(options & 0x80),
                       &problem)) {
    case Check::kSound:
      break;
    case Check::kCancelled:
      return Written::kFailed;
    case Check::kFaulty:
      return fail("The backup written to " + archive + " did not read back correctly: " + problem +
                  ".");
  }
  zip.ZipFileName("");
  // The archive replaced goes into the history first, by a rename on the same drive; should the
  // new one then not take its name, the old one comes back.
  std::string kept_in;
  if (keeps_history && util::FileExistsChecked(archive)) {
    if (history_folder_.empty()) {
      history_folder_ = MakeHistoryFolder(target_folder, platform::GetFileAge(archive));
    }
    if (history_folder_.empty() ||
        !platform::MoveFileReplacing(archive, history_folder_ + file_name)) {
      const std::string why = platform::CausePhrase(platform::LastCause());
      return fail("The earlier backup " + archive + " could not be moved into " +
                  base::AddBackslash(target_folder) + kHistoryFolderName +
                  (why.empty() ? "" : ": " + why) +
                  ". The new backup has not taken its place, so that the earlier one is kept.");
    }
    kept_in = history_folder_ + file_name;
  }
  if (!platform::MoveFileReplacing(temporary.path(), archive)) {
    const platform::Cause cause = platform::LastCause();
    if (!kept_in.empty()) platform::MoveFileReplacing(kept_in, archive);
    const std::string why = platform::CausePhrase(cause);
    return fail("The backup could not be written to " + archive + (why.empty() ? "" : ": " + why) +
                ".");
  }
  temporary.Commit();
  zip.ZipFileName(archive);
  report.Count(file_name, static_cast<size_t>(added));
  return Written::kYes;
}

void BackupCommand::MakeRoomFor(const std::string& target_folder, const std::string& archive) {
  std::vector<platform::FindEntry> found;
  if (!platform::FindFiles(archive, &found) || found.size() != 1) return;
  const uint64_t wanted = found[0].size;
  uint64_t free_bytes = 0;
  std::vector<std::string> earlier = EarlierBackups(target_folder);
  for (size_t oldest = 0; oldest < earlier.size(); ++oldest) {
    if (!platform::GetDiskFreeSpaceEx(base::AddBackslash(target_folder), &free_bytes) ||
        free_bytes >= wanted) {
      return;
    }
    DropEarlierBackup(earlier[oldest]);
    result_.dropped_backups.push_back(earlier[oldest] +
                                      ": to make room for the new backup (about " +
                                      Megabytes(wanted) + " are needed)");
  }
}

void BackupCommand::TrimHistory(const std::string& target_folder) {
  RemoveEmptyHistory(target_folder);
  std::vector<std::string> earlier = EarlierBackups(target_folder);
  const size_t kept = request_.keep_earlier > 0 ? static_cast<size_t>(request_.keep_earlier) : 0;
  for (size_t oldest = 0; oldest + kept < earlier.size(); ++oldest) {
    DropEarlierBackup(earlier[oldest]);
    result_.dropped_backups.push_back(earlier[oldest] + ": only the last " + std::to_string(kept) +
                                      " earlier backups are kept");
  }
  RemoveEmptyHistory(target_folder);
}

}  // namespace backup
