#include "zipdll/extract/extract_run.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "base/scope_exit.h"
#include "base/text.h"
#include "base/wildcard.h"
#include "base/work_ahead.h"
#include "platform/path_limits.h"
#include "platform/work_files.h"
#include "zipdll/extract/entry_data.h"
#include "zipdll/extract/files_ahead.h"
#include "zipdll/extract/name_tree.h"
#include "zipdll/extract/safe_name.h"
#include "zipformat/zip_records.h"

namespace zipdll::extract {
namespace {

constexpr uint64_t kProgressStep = 64 * 1024;
// Entries from this size on are written on a thread of their own while they are inflated.
constexpr uint64_t kOverlapFrom = 512 * 1024;

// New files of entries below kOverlapFrom are written ahead on workers when a run has this many.
constexpr size_t kAheadFrom = 8;
constexpr size_t kNoJob = SIZE_MAX;

// Workers beside the run's own thread, which writes files too while it waits for one.
unsigned AheadWorkers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores <= 2 ? 1 : std::min(cores - 1, 3u);
}

// Room an entry needs beyond its own size. A file takes whole clusters (up to 64 KiB on a large
// NTFS or exFAT drive) and a directory entry, and a big file needs blocks of the file system to
// map it (one per thousand or so on ext2-style drives); a restore that leaves the drive with not
// a byte to spare would also starve every other program writing there meanwhile.
constexpr uint64_t kFreeSpaceMargin = 64 * 1024;

bool FitsInFreeSpace(uint64_t size, uint64_t available) {
  const uint64_t overhead = kFreeSpaceMargin + size / 1024;
  return available >= overhead && available - overhead >= size;
}

std::string WithBackslashes(std::string name) {
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

// The last element of a stored name, without the slash a folder entry ends with. Split at the
// slashes only: a stored name may hold a ":", and a file spec is matched against what follows the
// last slash, as it is stored (util::NameOf would also split at the ":").
std::string FileNamePart(const std::string& name) {
  std::string path = WithBackslashes(name);
  while (!path.empty() && path.back() == '\\') path.pop_back();
  const size_t split = path.rfind('\\');
  return split == std::string::npos ? path : path.substr(split + 1);
}

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

// Writes an entry's data to its file on a thread of its own, so that the next pieces are read,
// decrypted and inflated while the last ones are written. Each batch is a job of one worker,
// which writes them in turn; the run takes each back, to fill again, two batches later.
class OverlappedWriter {
 public:
  explicit OverlappedWriter(platform::File* file)
      : file_(file),
        writes_(
            1, kInFlight, [this](std::string& batch, unsigned) { return WriteBatch(batch); },
            // The run's thread never writes, or two batches could be written out of turn.
            [](const std::string&, uint64_t) { return false; }) {}
  // Without Finish (a failure or a cancel on the way) what was not written yet is dropped.
  ~OverlappedWriter() = default;
  OverlappedWriter(const OverlappedWriter&) = delete;
  OverlappedWriter& operator=(const OverlappedWriter&) = delete;

  // Why the write that failed did, once one has.
  platform::Cause cause() const { return cause_; }

  // Takes a copy of the bytes; false once a write failed.
  bool Write(const uint8_t* data, size_t size) {
    filling_.append(reinterpret_cast<const char*>(data), size);
    return filling_.size() < kBatch ? !failed_ : Hand();
  }

  // Writes what is left and waits for it; false when any write failed.
  bool Finish() {
    if (!Hand()) return false;
    while (taken_ < handed_) TakeBack();
    return !failed_;
  }

 private:
  static constexpr size_t kBatch = 256 << 10;
  // Batches handed over and not taken back: two waiting and the one being written.
  static constexpr size_t kInFlight = 3;

  bool Hand() {
    if (filling_.empty()) return !failed_;
    writes_.Add(std::move(filling_));
    ++handed_;
    filling_ = std::string();
    // A batch written before is filled again rather than new memory taken for each.
    if (handed_ - taken_ > kInFlight) filling_ = TakeBack();
    filling_.clear();
    return !failed_;
  }

  std::string TakeBack() { return std::move(*writes_.Take(taken_++)); }

  // On the worker: after a failure nothing more is written.
  std::string WriteBatch(std::string& batch) {
    if (!failed_ && !file_->Write(batch.data(), batch.size())) {
      cause_ = platform::LastCause();
      failed_ = true;
    }
    return std::move(batch);
  }

  platform::File* const file_;
  std::string filling_;
  size_t handed_ = 0;
  size_t taken_ = 0;
  // Set by the worker, read by the run's thread after it took the batch back or as a hint.
  std::atomic<bool> failed_{false};
  std::atomic<platform::Cause> cause_{platform::Cause::kNone};
  base::WorkAhead<std::string, std::string> writes_;  // last: stopped before the rest goes
};

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

  std::vector<bool> spec_used(options_.specs.size(), false);
  // Specs without a wildcard name members outright (a caller may hand over thousands of them):
  // looked up by their folded text, the others matched one by one.
  std::unordered_multimap<std::string, size_t> exact_paths, exact_names;
  std::vector<size_t> masks;
  for (size_t i = 0; i < options_.specs.size(); ++i) {
    const std::string pattern = WithBackslashes(options_.specs[i]);
    if (pattern.find_first_of("*?") != std::string::npos) {
      masks.push_back(i);
    } else if (pattern.find('\\') != std::string::npos) {
      exact_paths.emplace(util::FoldCase(pattern), i);
    } else {
      exact_names.emplace(util::FoldCase(pattern), i);
    }
  }
  const auto use_exact = [&](const std::unordered_multimap<std::string, size_t>& exact,
                             const std::string& text, bool* wanted) {
    if (exact.empty()) return;
    const auto [first, last] = exact.equal_range(util::FoldCase(text));
    for (auto it = first; it != last; ++it) *wanted = spec_used[it->second] = true;
  };
  std::vector<const EntryInfo*> chosen;
  uint64_t files = 0, bytes = 0;
  for (const EntryInfo& entry : directory_.entries) {
    bool wanted = options_.specs.empty();
    std::string path = WithBackslashes(entry.name);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    use_exact(exact_paths, path, &wanted);
    use_exact(exact_names, FileNamePart(entry.name), &wanted);
    for (size_t i : masks) {
      if (Matches(entry, options_.specs[i])) wanted = spec_used[i] = true;
    }
    if (!wanted) continue;
    chosen.push_back(&entry);
    if (!entry.IsFolder()) {
      ++files;
      // Sizes are the archive's word: add them without letting a lie wrap the total round.
      bytes += std::min(entry.uncompressed_size, UINT64_MAX - bytes);
    }
  }

  reporter_->Call(kActionBatchFiles, "", static_cast<int64_t>(files));
  reporter_->Call(kActionBatchBytes, "", static_cast<int64_t>(bytes));
  for (size_t i = 0; i < options_.specs.size(); ++i) {
    if (!spec_used[i]) {
      reporter_->Skipped(options_.specs[i], kSkipNotFound, "no entry of the archive matches it");
    }
  }
  if (target_missing) {
    for (const EntryInfo* entry : chosen) {
      if (!entry->IsFolder()) {
        reporter_->Skipped(entry->name, kSkipNotWritten,
                           "the folder \"" + options_.target_folder + "\" is not there",
                           *target_missing);
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
  util::ScopeExit remove_unkept_folders([this] { RemoveFoldersMadeAhead(); });
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
      reporter_->Skipped(entry.name, kSkipUnsafeName, unfit[i]);
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

// An entry is written ahead only when no other entry of the run could change what happens to it:
// its target is no other entry's target (case folded, as the drives compare names), no entry's
// folder, and no folder of its path is another entry's file. Otherwise the order of the archive
// decides (which of two files of one name is asked about, whether a file or a folder comes
// first), and that order is kept by going through such entries here, in turn.
// A name longer than the target's drive can make is turned away before anything is planned or
// made for it: the plan and the folders of a name cost its length, and some archives hold names
// of tens of thousands of folders.
std::vector<std::string> ExtractRun::UnfitNames(const std::vector<const EntryInfo*>& chosen) const {
  std::vector<std::string> unfit(chosen.size());
  if (options_.test_only) return unfit;
  for (size_t i = 0; i < chosen.size(); ++i) {
    const EntryInfo& entry = *chosen[i];
    if (entry.IsFolder() && !options_.recreate_folders) continue;
    std::string relative, why;
    // A name refused outright is the writing's to report, with its own reason.
    if (!SafeRelativePath(entry.name, options_.recreate_folders, &relative, &why) ||
        relative.empty()) {
      continue;
    }
    if (!platform::PathFits(options_.target_folder + relative, &why)) unfit[i] = why;
  }
  return unfit;
}

std::vector<ExtractRun::AheadJob> ExtractRun::PlanAhead(const std::vector<const EntryInfo*>& chosen,
                                                        const std::vector<std::string>& unfit,
                                                        std::vector<size_t>* job_of) const {
  job_of->assign(chosen.size(), kNoJob);
  std::vector<AheadJob> jobs;
  const auto plain = [](const EntryInfo& entry) {
    return !entry.IsEncrypted() &&
           (entry.method == zipformat::kMethodStored ||
            entry.method == zipformat::kMethodDeflated) &&
           entry.uncompressed_size < kOverlapFrom;
  };
  // A test writes nothing, so its entries cannot change what happens to each other: every plain
  // one is read ahead, whatever its name.
  if (options_.test_only) {
    for (size_t i = 0; i < chosen.size(); ++i) {
      if (chosen[i]->IsFolder() || !plain(*chosen[i])) continue;
      (*job_of)[i] = jobs.size();
      jobs.push_back({chosen[i], std::string()});
    }
    return jobs;
  }
  // A file to be freshened must exist: freshening makes no new files.
  if (options_.freshen && !options_.update) return jobs;
  struct Candidate {
    size_t index;
    std::string relative;
    size_t node;
  };
  std::vector<Candidate> candidates;
  NameTree names;
  const auto hold_folders = [&names](size_t node) {
    // Once a folder is marked, so are those above it.
    while (node != NameTree::kRoot && !names[node].folder) {
      names[node].folder = true;
      node = names[node].parent;
    }
  };
  for (size_t i = 0; i < chosen.size(); ++i) {
    const EntryInfo& entry = *chosen[i];
    if (!unfit[i].empty()) continue;
    std::string relative, why;
    if (!SafeRelativePath(entry.name, options_.recreate_folders, &relative, &why)) continue;
    while (!relative.empty() && relative.back() == '\\') relative.pop_back();
    if (relative.empty()) continue;
    const size_t node = names.Add(relative);
    hold_folders(names[node].parent);
    if (entry.IsFolder()) {
      hold_folders(node);
      continue;
    }
    ++names[node].files;
    if (plain(entry)) candidates.push_back({i, std::move(relative), node});
  }
  for (const Candidate& candidate : candidates) {
    bool alone = names[candidate.node].files == 1 && !names[candidate.node].folder;
    for (size_t up = names[candidate.node].parent; alone && up != NameTree::kRoot;
         up = names[up].parent) {
      alone = names[up].files == 0;
    }
    if (!alone) continue;
    (*job_of)[candidate.index] = jobs.size();
    jobs.push_back({chosen[candidate.index], options_.target_folder + candidate.relative});
  }
  return jobs;
}

bool ExtractRun::WriteAhead(const AheadJob& job, platform::File& archive) {
  const EntryInfo& entry = *job.entry;
  uint64_t data_offset = 0;
  std::string detail;
  if (options_.test_only) {
    // Read through and checked as TestEntry does; what fails is the run's to report.
    return EntryDataOffset(archive, directory_, entry, &data_offset, &detail) &&
           LocalHeaderAgrees(archive, entry, &detail) &&
           ReadEntryData(
               archive, data_offset, entry, std::string(),
               [](const uint8_t*, size_t) { return true; }, &detail) == EntryDataResult::kOk;
  }
  const std::string folder = util::FolderOf(job.target);
  const std::string relative_folder = folder.substr(options_.target_folder.size());
  if (!relative_folder.empty() && !CreateFolders(relative_folder, true)) return false;
  // Made and opened in one step, only where no file of that name is: a file that is there
  // already is the run's to ask about.
  std::unique_ptr<platform::File> file =
      platform::File::Open(job.target, platform::File::Mode::kCreateNew);
  if (!file) return false;
  util::ScopeExit remove([&] {
    file.reset();
    platform::DeleteFile(job.target);
  });
  uint64_t available = 0;
  if (!TakeRoom(folder, entry.uncompressed_size, &available)) return false;
  if (!EntryDataOffset(archive, directory_, entry, &data_offset, &detail)) return false;
  const EntryDataResult result = ReadEntryData(
      archive, data_offset, entry, std::string(),
      [&](const uint8_t* data, size_t size) { return file->Write(data, size); }, &detail);
  if (result != EntryDataResult::kOk || !file->SetAge(entry.DosDateTime())) return false;
  file.reset();
  remove.Release();
  return true;
}

void ExtractRun::ReportWrittenAhead(const EntryInfo& entry, const AheadJob& job, FileAhead& file) {
  reporter_->Call(kActionFileBegun, entry.name, static_cast<int64_t>(entry.uncompressed_size));
  reported_ = pending_ = 0;
  // Its bytes in the pieces its reading gives them, as for a file written here.
  for (uint64_t at = 0; at < entry.uncompressed_size; at += kProgressStep) {
    ReportProgress(std::min(kProgressStep, entry.uncompressed_size - at));
  }
  file.Keep();
  // Its folders are the run's too now; they were all made, so this only says so.
  if (!job.target.empty())
    CreateFolders(util::FolderOf(job.target).substr(options_.target_folder.size()));
  ++extracted_;
  FinishProgress(entry);
}

// A file file_spec with a folder in it is matched against the whole stored name, any other against
// the entry's file name alone, so that "*.cht" takes "Charts/SMITH.CHT".
bool ExtractRun::Matches(const EntryInfo& entry, const std::string& file_spec) const {
  const std::string mask = WithBackslashes(file_spec);
  if (mask.find('\\') != std::string::npos) {
    std::string name = WithBackslashes(entry.name);
    while (!name.empty() && name.back() == '\\') name.pop_back();
    return util::MatchesMask(name, mask);
  }
  return util::MatchesMask(FileNamePart(entry.name), mask);
}

void ExtractRun::MakeFolder(const EntryInfo& entry) {
  if (options_.test_only || !options_.recreate_folders) return;
  std::string relative, why;
  if (!SafeRelativePath(entry.name, true, &relative, &why)) {
    reporter_->Skipped(entry.name, kSkipUnsafeName, why);
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
    reporter_->Skipped(entry.name, kSkipBadData,
                       "encrypted with AES, which this program cannot read");
    return FinishProgress(entry);
  }

  std::string target;
  bool replacing = false;
  if (!options_.test_only) {
    std::string relative, why;
    if (!SafeRelativePath(entry.name, options_.recreate_folders, &relative, &why)) {
      reporter_->Skipped(entry.name, kSkipUnsafeName, why);
      return FinishProgress(entry);
    }
    target = options_.target_folder + relative;
    if (!MayWrite(entry, target, &replacing)) return FinishProgress(entry);
  }
  uint64_t data_offset = 0;
  std::string error;
  if (!EntryDataOffset(*archive_, directory_, entry, &data_offset, &error)) {
    reporter_->Skipped(entry.name, kSkipBadData, error);
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
    reporter_->Skipped(entry.name, kSkipNotWritten, "a folder of that name is in the way",
                       platform::Cause::kFolderInTheWay);
    return false;
  }
  const bool by_age = options_.update || options_.freshen;
  if (!exists) {
    if (options_.freshen && !options_.update) {
      reporter_->Skipped(entry.name, kSkipNotNewer, "there is no file to freshen");
      return false;
    }
    return true;
  }
  // DOS times compare as numbers: the date is in the high word.
  const int32_t age = platform::GetFileAge(target);
  const bool older =
      age == -1 || static_cast<uint32_t>(age) < static_cast<uint32_t>(entry.DosDateTime());
  if (by_age && !older) {
    reporter_->Skipped(entry.name, kSkipNotNewer, "the existing file is not older");
    return false;
  }
  const bool proposed = by_age || options_.overwrite;
  const CallbackRecord& answer =
      reporter_->Call(kActionOverwrite, target, proposed ? 1 : 0, older ? 1 : 0);
  if (answer.value != 1) {
    reporter_->Skipped(entry.name, kSkipUserDeclined, "the existing file was kept");
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
      reporter_->Skipped(entry.name, kSkipNoPassword, "no password was given");
      return false;
    }
    const std::string candidate(answer.text);
    if (PasswordFits(*archive_, data_offset, entry, candidate)) {
      known_passwords_.push_back(candidate);
      *password = candidate;
      return true;
    }
  }
  reporter_->Skipped(entry.name, kSkipNoPassword, "no password fits");
  return false;
}

void ExtractRun::TestEntry(const EntryInfo& entry, uint64_t data_offset,
                           const std::string& password) {
  std::string detail;
  if (!LocalHeaderAgrees(*archive_, entry, &detail)) {
    reporter_->Skipped(entry.name, kSkipBadData, detail);
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
    reporter_->Skipped(entry.name, kSkipBadData, detail);
  }
}

void ExtractRun::WriteEntry(const EntryInfo& entry, uint64_t data_offset,
                            const std::string& password, const std::string& target,
                            bool replacing) {
  // The relative part has no ":" (SafeRelativePath refuses it), so this is the target folder
  // and the folders of the entry's name.
  const std::string folder = util::FolderOf(target);
  const std::string relative_folder = folder.substr(options_.target_folder.size());
  if (!relative_folder.empty() && !CreateFolders(relative_folder)) {
    reporter_->Skipped(entry.name, kSkipNotWritten, "its folder cannot be created",
                       platform::LastCause());
    return;
  }
  // Declared sizes are checked against the drive before a byte is written, so that an archive of
  // honest but huge sizes is turned away entry by entry instead of filling the drive. The work
  // file is written beside the old file, which keeps its room until the rename: no credit for it.
  // When the drive cannot say, the write itself finds out, as it does for a size that lies.
  uint64_t available = 0;
  if (!TakeRoom(folder, entry.uncompressed_size, &available)) {
    reporter_->Skipped(entry.name, kSkipNoRoom,
                       "it needs " + std::to_string(entry.uncompressed_size) +
                           " bytes and the drive of \"" + folder + "\" has " +
                           std::to_string(available) + " free",
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
    reporter_->Skipped(entry.name, kSkipNotWritten, "no file can be written in \"" + folder + "\"",
                       platform::LastCause());
    return;
  }
  // Closed, then deleted, unless it was moved into place; the writer below goes first.
  util::ScopeExit remove_work([&] {
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
        reporter_->Skipped(entry.name, kSkipBadData, detail);
        return;
      }
      reporter_->Message("\"" + entry.name + "\" was kept although its CRC does not match.");
      break;
    case EntryDataResult::kSinkFailed:
      reporter_->Skipped(entry.name, kSkipNotWritten, "writing \"" + work_path + "\" failed",
                         write_cause);
      return;
    default:
      reporter_->Skipped(entry.name, kSkipBadData, detail);
      return;
  }
  // The data reaches the disk before it replaces a file, so that a crash right after the rename
  // cannot leave an empty file where the old one was. A new file needs no such care.
  const bool written = work->SetAge(entry.DosDateTime()) && (!replacing || work->Flush());
  platform::Cause cause = written ? platform::Cause::kNone : platform::LastCause();
  work.reset();
  if (!written || (!in_place && !platform::MoveFileReplacing(work_path, target))) {
    if (written) cause = platform::LastCause();
    reporter_->Skipped(entry.name, kSkipNotWritten, "\"" + target + "\" cannot be replaced", cause);
    return;
  }
  remove_work.Release();
  ++extracted_;
}

bool ExtractRun::TakeRoom(const std::string& folder, uint64_t size, uint64_t* available) {
  base::MutexLock lock(room_mutex_);
  // Asked of the drive at the first file, and again before a file is turned away: others may
  // have freed room meanwhile, or the run's own count may be short of the truth.
  if (!room_left_ || !FitsInFreeSpace(size, *room_left_)) {
    if (!platform::GetDiskFreeSpaceEx(folder, available)) return true;
    room_left_ = *available;
    if (!FitsInFreeSpace(size, *available)) return false;
  }
  // What the file takes on the drive: whole blocks of 4 KiB and the blocks that map it; less than
  // the margin FitsInFreeSpace asks beyond the size, so the count cannot go below zero.
  *room_left_ -= (size + size / 1024 + 4096 + 4095) / 4096 * 4096;
  return true;
}

// Walks the folders of relative down from the target, making those this run has not made or
// found yet: each element is looked up once, below its parent, so that a deep name costs its
// length and not its length times its depth.
bool ExtractRun::CreateFolders(const std::string& relative, bool ahead) {
  size_t node = NameTree::kRoot;
  for (size_t at = 0; at < relative.size();) {
    const size_t split = std::min(relative.find('\\', at), relative.size());
    if (split > at) {
      bool made = false;
      {
        base::MutexLock lock(made_folders_mutex_);
        node = made_folders_.Child(node, std::string_view(relative).substr(at, split - at));
        made = made_folders_[node].folder;
        // The run's own thread takes a folder made ahead as its own.
        if (made && !ahead) made_folders_[node].ahead = false;
      }
      if (!made) {
        // Two workers may make the same folder at once: the one that comes second finds it made.
        const std::string folder = options_.target_folder + relative.substr(0, split);
        const bool created = platform::CreateDirectory(folder);
        if (!created) {
          const platform::Cause cause = platform::LastCause();
          if (!platform::FolderExists(folder)) {
            platform::SetLastCause(cause);  // why it could not be made, not that it is not there
            return false;
          }
        }
        base::MutexLock lock(made_folders_mutex_);
        NameTree::Node& made_node = made_folders_[node];
        if (!made_node.folder) {
          made_node.folder = true;
          made_node.ahead = ahead && created;
          if (made_node.ahead) made_ahead_.emplace_back(node, folder);
        } else if (!ahead) {
          made_node.ahead = false;
        }
      }
    }
    at = split + 1;
  }
  return true;
}

void ExtractRun::RemoveFoldersMadeAhead() {
  base::MutexLock lock(made_folders_mutex_);
  // Innermost first: a folder is made after the one it is in. One that holds anything stays.
  for (auto made = made_ahead_.rbegin(); made != made_ahead_.rend(); ++made) {
    if (made_folders_[made->first].ahead) platform::RemoveDirectory(made->second);
  }
  made_ahead_.clear();
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
