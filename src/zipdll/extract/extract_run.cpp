#include "zipdll/extract/extract_run.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "base/scope_exit.h"
#include "base/text.h"
#include "platform/work_files.h"
#include "zipdll/extract/entry_choice.h"
#include "zipdll/extract/entry_data.h"
#include "zipdll/extract/files_ahead.h"
#include "zipdll/extract/overlapped_writer.h"
#include "zipdll/extract/safe_name.h"
#include "zipformat/zip_records.h"

namespace zipdll::extract {
namespace {

// A new work file in folder, for the entry's data: *path names it, a name no other file there has,
// and it is made and opened in one step. Null when folder takes no new file. *next_name is the
// run's count of work names, so that each try costs no draw of a random number.
std::unique_ptr<platform::File> CreateWorkFile(const std::string& folder, unsigned* next_name,
                                               std::string* path) {
  constexpr unsigned kNameTries = 64;
  for (unsigned n = 0; n < kNameTries; ++n) {
    const unsigned unique = (*next_name)++ & 0xFFFF;
    char name[32];
    std::snprintf(name, sizeof name, "unzip-%X.tmp", unique ? unique : 1);
    *path = folder + platform::kWorkFilePrefix + name;
    std::unique_ptr<platform::File> file =
        platform::File::Open(*path, platform::File::Mode::kCreateNew);
    if (file) return file;
    // Taken by another file; anything else will not be mended by another name.
    const platform::Cause cause = platform::LastCause();
    if (platform::GetFileAttributes(*path) == platform::kInvalidAttributes) {
      platform::SetLastCause(cause);
      return nullptr;
    }
  }
  return nullptr;
}

}  // namespace

ExtractRun::ExtractRun(ExtractOptions options, Reporter* reporter)
    : options_(std::move(options)), reporter_(reporter) {
  if (!options_.password.empty()) known_passwords_.push_back(options_.password);
  next_work_name_ = std::random_device()();
}

void ExtractRun::Run() {
  archive_ = platform::File::Open(options_.archive, platform::File::Mode::kRead);
  if (!archive_) {
    reporter_->Message("Cannot open the archive \"" + options_.archive + "\".");
    return;
  }
  std::string error;
  if (!ReadDirectory(*archive_, &directory_, &error)) {
    reporter_->Message("\"" + options_.archive + "\": " + error);
    return;
  }
  if (options_.target_folder.empty()) {
    // At the last backslash only: "C:x.zip" gives no folder (refused below when files are to be
    // written), not the root of C:.
    const size_t split = options_.archive.rfind('\\');
    options_.target_folder =
        split == std::string::npos ? std::string() : options_.archive.substr(0, split + 1);
  }
  if (!options_.target_folder.empty() && options_.target_folder.back() != '\\') {
    options_.target_folder += '\\';
  }
  // A drive root keeps its backslash ("C:\"); any other folder is asked for without it.
  std::string folder = options_.target_folder;
  if (folder.size() > 3) folder.pop_back();
  // A target that is not there writes nothing; each file chosen is then named as not written.
  std::optional<platform::Cause> target_missing;
  if (!options_.test_only && (folder.empty() || !platform::FolderExists(folder))) {
    const platform::Cause cause = folder.empty() ? platform::Cause::kNone : platform::LastCause();
    reporter_->Message("The target folder \"" + options_.target_folder + "\" does not exist.");
    target_missing = cause == platform::Cause::kNone ? platform::Cause::kNotFound : cause;
  }

  const ChosenEntries choice = ChooseEntries(directory_, options_.specs);
  const std::vector<const EntryInfo*>& chosen = choice.entries;
  reporter_->Call(kActionBatchFiles, "", static_cast<int64_t>(choice.files));
  reporter_->Call(kActionBatchBytes, "", static_cast<int64_t>(choice.bytes));
  for (size_t i = 0; i < options_.specs.size(); ++i) {
    if (!choice.spec_used[i]) {
      Skipped(options_.specs[i], kSkipNotFound, "no entry of the archive matches it");
    }
  }
  if (target_missing) {
    for (const EntryInfo* entry : chosen) {
      if (!entry->IsFolder()) {
        Skipped(entry->name, kSkipNotWritten,
                "the folder \"" + options_.target_folder + "\" is not there", *target_missing);
      }
    }
    return;
  }
  // The new files of plain entries are written ahead on workers; every other entry, and every
  // one a worker could not write whole, is gone through here in turn. Either way they are
  // reported here, in the archive's order.
  std::vector<size_t> job_of;
  const std::vector<std::string> unfit = UnfitNames(chosen);
  const std::vector<AheadJob> jobs = PlanAhead(chosen, unfit, &job_of);
  // Folders made ahead for files the run never kept go after those files (declared first, so
  // that it runs after ahead is gone).
  base::ScopeExit remove_unkept_folders([this] { RemoveFoldersMadeAhead(); });
  // Each slot reads the archive through a handle of its own, positioned as it needs.
  std::vector<std::unique_ptr<platform::File>> archives;
  std::optional<FilesAhead> ahead;
  if (jobs.size() >= kAheadFrom) {
    const unsigned workers = AheadWorkers();
    archives.resize(workers + 1);
    ahead.emplace(workers, kFilesAhead, [this, &jobs, &archives](size_t& job, unsigned slot) {
      std::unique_ptr<platform::File>& archive = archives[slot];
      if (!archive) archive = platform::File::Open(options_.archive, platform::File::Mode::kRead);
      return archive && WriteAhead(jobs[job], *archive) ? FileAhead(jobs[job].target) : FileAhead();
    });
    for (size_t job = 0; job < jobs.size(); ++job) ahead->Add(job);
  }
  for (size_t i = 0; i < chosen.size(); ++i) {
    const EntryInfo& entry = *chosen[i];
    const size_t job = job_of[i];
    if (!unfit[i].empty()) {
      if (!entry.IsFolder()) {
        reporter_->Call(kActionFileBegun, entry.name,
                        static_cast<int64_t>(entry.uncompressed_size));
        reported_ = pending_ = 0;
      }
      Skipped(entry.name, kSkipUnsafeName, unfit[i]);
      if (!entry.IsFolder()) FinishProgress(entry);
    } else if (entry.IsFolder()) {
      MakeFolder(entry);
    } else if (std::optional<FileAhead> file =
                   ahead && job != kNoJob ? ahead->Take(job) : std::nullopt;
               file && file->written()) {
      ReportWrittenAhead(entry, jobs[job], *file);
    } else {
      ProcessEntry(entry);
    }
  }
  reporter_->Call(kActionEndOfBatch, "", 0);
}

void ExtractRun::MakeFolder(const EntryInfo& entry) {
  if (options_.test_only || !options_.recreate_folders) return;
  std::string relative, why;
  if (!SafeRelativePath(entry.name, true, &relative, &why)) {
    Skipped(entry.name, kSkipUnsafeName, why);
    return;
  }
  if (!CreateFolders(relative)) {
    reporter_->Message("The folder \"" + options_.target_folder + relative +
                       "\" cannot be created.");
  }
}

void ExtractRun::ProcessEntry(const EntryInfo& entry) {
  reporter_->Call(kActionFileBegun, entry.name, static_cast<int64_t>(entry.uncompressed_size));
  reported_ = pending_ = 0;
  // Nothing is asked about an entry that cannot be read: its header is not the traditional one,
  // so every password would be refused, and an overwrite question would be for nothing.
  if (entry.IsAesEncrypted()) {
    Skipped(entry.name, kSkipBadData, "encrypted with AES, which this program cannot read");
    return FinishProgress(entry);
  }

  std::string target;
  bool replacing = false;
  if (!options_.test_only) {
    std::string relative, why;
    if (!SafeRelativePath(entry.name, options_.recreate_folders, &relative, &why)) {
      Skipped(entry.name, kSkipUnsafeName, why);
      return FinishProgress(entry);
    }
    target = options_.target_folder + relative;
    if (!MayWrite(entry, target, &replacing)) return FinishProgress(entry);
  }
  uint64_t data_offset = 0;
  std::string error;
  if (!EntryDataOffset(*archive_, directory_, entry, &data_offset, &error)) {
    Skipped(entry.name, kSkipBadData, error);
    return FinishProgress(entry);
  }
  std::string password;
  if (entry.IsEncrypted() && !FindPassword(entry, data_offset, &password)) {
    return FinishProgress(entry);
  }
  if (options_.test_only) {
    TestEntry(entry, data_offset, password);
  } else {
    WriteEntry(entry, data_offset, password, target, replacing);
  }
  FinishProgress(entry);
}

bool ExtractRun::MayWrite(const EntryInfo& entry, const std::string& target, bool* replacing) {
  const uint32_t attributes = platform::GetFileAttributes(target);
  const bool exists = attributes != platform::kInvalidAttributes;
  *replacing = exists;
  if (exists && (attributes & platform::kAttrDirectory)) {
    Skipped(entry.name, kSkipNotWritten, "a folder of that name is in the way",
            platform::Cause::kFolderInTheWay);
    return false;
  }
  const bool by_age = options_.update || options_.freshen;
  if (!exists) {
    if (options_.freshen && !options_.update) {
      Skipped(entry.name, kSkipNotNewer, "there is no file to freshen");
      return false;
    }
    return true;
  }
  // DOS times compare as numbers: the date is in the high word.
  const int32_t age = platform::GetFileAge(target);
  const bool older =
      age == -1 || static_cast<uint32_t>(age) < static_cast<uint32_t>(entry.DosDateTime());
  if (by_age && !older) {
    Skipped(entry.name, kSkipNotNewer, "the existing file is not older");
    return false;
  }
  const bool proposed = by_age || options_.overwrite;
  const CallbackRecord& answer =
      reporter_->Call(kActionOverwrite, target, proposed ? 1 : 0, older ? 1 : 0);
  if (answer.value != 1) {
    Skipped(entry.name, kSkipUserDeclined, "the existing file was kept");
    return false;
  }
  return true;
}

bool ExtractRun::FindPassword(const EntryInfo& entry, uint64_t data_offset, std::string* password) {
  for (const std::string& known : known_passwords_) {
    if (PasswordFits(*archive_, data_offset, entry, known)) {
      *password = known;
      return true;
    }
  }
  for (int left = options_.password_attempts; left > 0; --left) {
    const CallbackRecord& answer = reporter_->Call(kActionPassword, entry.name, left);
    if (answer.flag != 1) {
      Skipped(entry.name, kSkipNoPassword, "no password was given");
      return false;
    }
    const std::string candidate(answer.text);
    if (PasswordFits(*archive_, data_offset, entry, candidate)) {
      known_passwords_.push_back(candidate);
      *password = candidate;
      return true;
    }
  }
  Skipped(entry.name, kSkipNoPassword, "no password fits");
  return false;
}

void ExtractRun::TestEntry(const EntryInfo& entry, uint64_t data_offset,
                           const std::string& password) {
  std::string detail;
  if (!LocalHeaderAgrees(*archive_, entry, &detail)) {
    Skipped(entry.name, kSkipBadData, detail);
    return;
  }
  const EntryDataResult result = ReadEntryData(
      *archive_, data_offset, entry, password,
      [&](const uint8_t*, size_t size) {
        ReportProgress(size);
        return true;
      },
      &detail);
  if (result == EntryDataResult::kOk) {
    ++extracted_;
  } else {
    Skipped(entry.name, kSkipBadData, detail);
  }
}

void ExtractRun::WriteEntry(const EntryInfo& entry, uint64_t data_offset,
                            const std::string& password, const std::string& target,
                            bool replacing) {
  // The relative part has no ":" (SafeRelativePath refuses it), so this is the target folder
  // and the folders of the entry's name.
  const std::string folder = base::FolderOf(target);
  const std::string relative_folder = folder.substr(options_.target_folder.size());
  if (!relative_folder.empty() && !CreateFolders(relative_folder)) {
    Skipped(entry.name, kSkipNotWritten, "its folder cannot be created", platform::LastCause());
    return;
  }
  // Declared sizes are checked against the drive before a byte is written, so that an archive of
  // honest but huge sizes is turned away entry by entry instead of filling the drive. The work
  // file is written beside the old file, which keeps its room until the rename: no credit for it.
  // When the drive cannot say, the write itself finds out, as it does for a size that lies.
  uint64_t available = 0;
  if (!TakeRoom(folder, entry.uncompressed_size, &available)) {
    Skipped(entry.name, kSkipNoRoom,
            "it needs " + std::to_string(entry.uncompressed_size) + " bytes and the drive of \"" +
                folder + "\" has " + std::to_string(available) + " free",
            platform::Cause::kDiskFull);
    return;
  }
  // A new file is written under its own name, made and opened in one step: until it is whole
  // there is nothing of the user's to keep safe, and a failure deletes it as it would a work
  // file. A file that replaces another is written beside it first and moved over it at the end.
  std::string work_path = target;
  std::unique_ptr<platform::File> work;
  if (!replacing) work = platform::File::Open(target, platform::File::Mode::kCreateNew);
  const bool in_place = work != nullptr;
  if (!in_place) work = CreateWorkFile(folder, &next_work_name_, &work_path);
  if (!work) {
    Skipped(entry.name, kSkipNotWritten, "no file can be written in \"" + folder + "\"",
            platform::LastCause());
    return;
  }
  // Closed, then deleted, unless it was moved into place; the writer below goes first.
  base::ScopeExit remove_work([&] {
    work.reset();
    platform::DeleteFile(work_path);
  });

  // A small file is written in one piece as it comes; a thread of its own would cost more than
  // the writing it takes over.
  std::optional<OverlappedWriter> overlapped;
  if (entry.uncompressed_size >= kOverlapFrom) overlapped.emplace(work.get());
  std::string detail;
  platform::Cause write_cause = platform::Cause::kNone;
  EntryDataResult result = ReadEntryData(
      *archive_, data_offset, entry, password,
      [&](const uint8_t* data, size_t size) {
        if (!(overlapped ? overlapped->Write(data, size) : work->Write(data, size))) {
          write_cause = overlapped ? overlapped->cause() : platform::LastCause();
          return false;
        }
        ReportProgress(size);
        return true;
      },
      &detail);
  if (overlapped && !overlapped->Finish() &&
      (result == EntryDataResult::kOk || result == EntryDataResult::kCrcMismatch)) {
    result = EntryDataResult::kSinkFailed;
    write_cause = overlapped->cause();
  }
  switch (result) {
    case EntryDataResult::kOk:
      break;
    case EntryDataResult::kCrcMismatch:
      if (reporter_->Call(kActionCrcError, entry.name, 0).flag != 1) {
        Skipped(entry.name, kSkipBadData, detail);
        return;
      }
      reporter_->Message("\"" + entry.name + "\" was kept although its CRC does not match.");
      break;
    case EntryDataResult::kSinkFailed:
      Skipped(entry.name, kSkipNotWritten, "writing \"" + work_path + "\" failed", write_cause);
      return;
    default:
      Skipped(entry.name, kSkipBadData, detail);
      return;
  }
  // The data reaches the disk before it replaces a file, so that a crash right after the rename
  // cannot leave an empty file where the old one was. A new file needs no such care.
  const bool written = work->SetAge(entry.DosDateTime()) && (!replacing || work->Flush());
  platform::Cause cause = written ? platform::Cause::kNone : platform::LastCause();
  work.reset();
  if (!written || (!in_place && !platform::MoveFileReplacing(work_path, target))) {
    if (written) cause = platform::LastCause();
    Skipped(entry.name, kSkipNotWritten, "\"" + target + "\" cannot be replaced", cause);
    return;
  }
  remove_work.Release();
  ++extracted_;
}

void ExtractRun::ReportProgress(uint64_t bytes) {
  pending_ += bytes;
  if (pending_ >= kProgressStep) {
    reported_ += pending_;
    const uint64_t sending = std::exchange(pending_, 0);
    reporter_->Call(kActionProgress, "", static_cast<int64_t>(sending));
  }
}

void ExtractRun::FinishProgress(const EntryInfo& entry) {
  uint64_t rest = pending_;
  if (reported_ + pending_ < entry.uncompressed_size) {
    rest = entry.uncompressed_size - reported_;
  }
  reported_ += rest;
  pending_ = 0;
  reporter_->Call(kActionProgress, "", static_cast<int64_t>(rest));
}

}  // namespace zipdll::extract
