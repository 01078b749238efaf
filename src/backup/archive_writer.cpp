// WriteArchive: one archive of FoundFiles, written so that the user never loses the last good
// backup. The new archive is made under a temporary name beside the old one, read back and
// checked entry by entry, and takes the old one's name only then; a failed, cancelled or damaged
// run leaves the old archive as it was.
#include <functional>
#include <map>
#include <set>

#include "app/file_maint.h"
#include "backup/archive_check.h"
#include "base/scope_exit.h"
#include "base/wildcard.h"
#include "platform/name_encoding.h"
#include "platform/platform.h"
#include "platform/work_files.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace app {
namespace {

// A run that was killed or crashed leaves its work files behind, as large as the archive; on a
// stick repeated runs would fill it. Those that no process has open are removed from the backup
// folder and from the temporary folder, where the component keeps its copy of an archive.
void RemoveLeftWorkFiles(const std::string& folder) {
  platform::RemoveLeftWorkFiles(util::AddBackslash(folder));
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
  util::ScopeExit<std::function<void()>> discard_;  // after path_, so that it runs first
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

// What the library says during one run of the component: the files it began, those it then
// skipped, why, and whether it reached the end of the batch. The component's own handlers are
// put back when the watch ends, however the run ends.
class RunWatch {
 public:
  explicit RunWatch(zip::TZip& zip)
      : zip_(zip),
        begin_(zip.OnZEDBeginFileEvent),
        skipped_(zip.OnZEDSkippedEvent),
        message_(zip.OnZEDMessageEvent),
        end_(zip.OnZEDEndBatchEvent) {
    zip_.OnZEDBeginFileEvent = [this](zip::TZip& sender, const std::string& name, int size,
                                      int count, int bytes) {
      begun_.push_back(name);
      if (begin_) begin_(sender, name, size, count, bytes);
    };
    // The library explains each skip in a message just before it; any other message says why
    // the run failed.
    zip_.OnZEDMessageEvent = [this](zip::TZip& sender, const std::string& text) {
      if (!pending_message_.empty()) failure_ = pending_message_;
      pending_message_ = text;
      if (message_) message_(sender, text);
    };
    zip_.OnZEDSkippedEvent = [this](zip::TZip& sender, const std::string& what, int reason) {
      skips_.push_back({what, pending_message_});
      pending_message_.clear();
      if (skipped_) skipped_(sender, what, reason);
    };
    zip_.OnZEDEndBatchEvent = [this](zip::TZip& sender, int skipped, int count, int bytes) {
      ended_ = true;
      if (end_) end_(sender, skipped, count, bytes);
    };
  }
  ~RunWatch() {
    zip_.OnZEDBeginFileEvent = begin_;
    zip_.OnZEDSkippedEvent = skipped_;
    zip_.OnZEDMessageEvent = message_;
    zip_.OnZEDEndBatchEvent = end_;
  }
  RunWatch(const RunWatch&) = delete;
  RunWatch& operator=(const RunWatch&) = delete;

  struct Skip {
    std::string what;
    std::string why;
  };

  bool ended() const { return ended_; }
  const std::vector<Skip>& skips() const { return skips_; }
  // The last message that was not the reason for a skip.
  std::string failure() const { return pending_message_.empty() ? failure_ : pending_message_; }

  // The files begun, less those skipped after they were begun.
  std::vector<std::string> Added() const {
    std::multiset<std::string> dropped;
    for (const Skip& skip : skips_) dropped.insert(skip.what);
    std::vector<std::string> added;
    for (const std::string& name : begun_) {
      const auto found = dropped.find(name);
      if (found != dropped.end()) {
        dropped.erase(found);
      } else {
        added.push_back(name);
      }
    }
    return added;
  }

 private:
  zip::TZip& zip_;
  zip::TZEDBeginFileEvent begin_;
  zip::TZEDSkippedEvent skipped_;
  zip::TZEDMessageEvent message_;
  zip::TZEDEndBatchEvent end_;
  std::vector<std::string> begun_;
  std::vector<Skip> skips_;
  std::string pending_message_;
  std::string failure_;
  bool ended_ = false;
};

// The stored name ("Src\Smith.cht") is the added path ("C:\Src\Smith.cht") or its tail.
bool NamesFile(const std::string& stored, const std::string& path) {
  if (stored.size() > path.size()) return false;
  if (stored.size() < path.size() && path[path.size() - stored.size() - 1] != '\\') return false;
  // The library names the file as it was listed, which may differ in case from what is stored.
  return util::EqualNoCase(std::string_view(path).substr(path.size() - stored.size()), stored);
}

// The first added file that no entry of the archive names, or empty when each is named once;
// *files then tells the file of each stored name.
std::string Unmatched(const std::vector<std::string>& stored_files,
                      const std::vector<std::string>& added, AddedFiles* files) {
  // Entries by their last element, folded as EqualNoCase compares, so each added path is held
  // against a few candidates.
  std::multimap<std::string, const std::string*> by_name;
  for (const std::string& stored : stored_files) {
    by_name.emplace(util::FoldCase(stored.substr(stored.find_last_of('\\') + 1)), &stored);
  }
  for (const std::string& path : added) {
    // A name in the system's older code page is stored in UTF-8.
    std::string as_stored, why;
    if (!platform::NameAsUtf8(path, &as_stored, &why)) as_stored = path;
    const auto [first, last] = by_name.equal_range(util::FoldCase(util::NameOf(as_stored)));
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
std::string Reason(const RunWatch::Skip& skip, const std::string& otherwise) {
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
    if (!info.FileName.empty() && info.FileName.back() != '\\')
      stored_files.push_back(info.FileName);
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

  // The check borrows the component's extraction settings; they are put back however it ends.
  const util::ScopeExit put_back(
      [&zip, options = zip.ExtrOptions, folder = zip.ExtrBaseDir, caption = zip::ProgressCaption] {
        zip.ExtrOptions = options;
        zip.ExtrBaseDir = folder;
        zip::ProgressCaption = caption;
      });
  zip.ExtrOptions = zip::kExtrTestOnly;  // nothing is written
  zip.ExtrBaseDir.clear();
  zip.FileSpecs.clear();
  zip::ProgressCaption = "Verifying the backup.";
  const RunWatch watch(zip);
  const int tested = zip.Extract();
  if (zip.Cancelled) return Check::kCancelled;
  if (!watch.skips().empty()) {
    const RunWatch::Skip& skip = watch.skips().front();
    *problem = "\"" + skip.what + "\" " + Reason(skip, "cannot be read back");
    return Check::kFaulty;
  }
  if (tested != count) {
    *problem = watch.failure().empty() ? "only " + std::to_string(tested) + " of its " +
                                             std::to_string(count) + " files read back"
                                       : watch.failure();
    return Check::kFaulty;
  }
  return Check::kSound;
}

}  // namespace

bool TFileMaint::WriteArchive(const std::string& target_folder, const std::string& file_name,
                              const std::string& comment, const std::string& caption, int options) {
  util::MakeFolderPath(target_folder);
  RemoveLeftWorkFiles(target_folder);
  const std::string archive = util::AddBackslash(target_folder) + file_name;
  TemporaryArchive temporary(*Zip1, TemporaryName(util::AddBackslash(target_folder)));
  const auto fail = [&](const std::string& what) {
    Zip1->ZipFileName("");
    const bool kept = util::FileExistsChecked(archive);
    ReportMessage(Renamed(what, temporary.path(), archive) + " " +
                  (kept ? "An earlier backup there has been left as it was."
                        : "No backup has been made there."));
    return false;
  };
  try {
    Zip1->ZipFileName(temporary.path());
  } catch (const zip::ZipException& error) {
    throw zip::ZipException(Renamed(error.what(), temporary.path(), archive));
  }
  Zip1->ZipComment(comment);
  zip::ProgressCaption = caption;
  Zip1->AddOptions = static_cast<uint8_t>(options);
  const size_t specs = FoundFiles ? FoundFiles->size() : 0;
  // A run the component refused before the library saw it leaves its specs behind.
  Zip1->FileSpecs.clear();
  if (FoundFiles) {
    Zip1->FileSpecs.insert(Zip1->FileSpecs.end(), FoundFiles->begin(), FoundFiles->end());
  }
  int added = 0;
  std::vector<std::string> added_files;
  std::string failure;
  bool ended = false;
  {
    const RunWatch watch(*Zip1);
    Zip1->Cancelled = false;
    added = Zip1->Add();
    added_files = watch.Added();
    ended = watch.ended();
    failure = watch.failure();
    if (failure.empty() && !watch.skips().empty()) {
      const RunWatch::Skip& first = watch.skips().front();
      // The library's reason names the file, or it is said here.
      failure = "none of the files to back up could be read: " +
                (first.why.find(first.what) != std::string::npos ? first.why
                                                                 : first.what + " was not found");
      while (!failure.empty() && failure.back() == '.') failure.pop_back();
    }
  }
  if (Zip1->Cancelled) return false;
  // With nothing to add the component says so itself and leaves the empty archive with its
  // comment, which is a complete backup of nothing. Files to add of which none went in (a source
  // drive unplugged after the search) are a failed backup, not an empty one.
  if (specs > 0) {
    if (added <= 0 || !ended) {
      return fail("The backup could not be written to " + archive +
                  (failure.empty() ? std::string() : " (" + failure + ")") + ".");
    }
    std::string problem;
    switch (CheckArchive(*Zip1, temporary.path(), comment, added_files, added, !(options & 0x80),
                         &problem)) {
      case Check::kSound:
        break;
      case Check::kCancelled:
        return false;
      case Check::kFaulty:
        return fail("The backup written to " + archive +
                    " did not read back correctly: " + problem + ".");
    }
  } else if (!util::FileExistsChecked(temporary.path())) {
    return fail("The backup could not be written to " + archive + ".");
  }
  Zip1->ZipFileName("");
  if (!platform::MoveFileReplacing(temporary.path(), archive)) {
    return fail("The backup could not be written to " + archive + ".");
  }
  temporary.Commit();
  Zip1->ZipFileName(archive);
  return true;
}

}  // namespace app
