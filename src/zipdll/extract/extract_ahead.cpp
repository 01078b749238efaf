// The part of an extracting run done ahead on workers: which entries may be, their files written
// where none is, and each reported in turn when the run comes to it.
#include <algorithm>
#include <thread>

#include "base/scope_exit.h"
#include "base/text.h"
#include "platform/path_limits.h"
#include "zipdll/extract/entry_data.h"
#include "zipdll/extract/extract_run.h"
#include "zipdll/extract/files_ahead.h"
#include "zipdll/extract/name_tree.h"
#include "zipdll/extract/safe_name.h"
#include "zipformat/zip_records.h"

namespace zipdll::extract {

// Workers beside the run's own thread, which writes files too while it waits for one.
unsigned ExtractRun::AheadWorkers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores <= 2 ? 1 : std::min(cores - 1, 3u);
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
  const std::string folder = base::FolderOf(job.target);
  const std::string relative_folder = folder.substr(options_.target_folder.size());
  if (!relative_folder.empty() && !CreateFolders(relative_folder, true)) return false;
  // Made and opened in one step, only where no file of that name is: a file that is there
  // already is the run's to ask about.
  std::unique_ptr<platform::File> file =
      platform::File::Open(job.target, platform::File::Mode::kCreateNew);
  if (!file) return false;
  base::ScopeExit remove([&] {
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
    CreateFolders(base::FolderOf(job.target).substr(options_.target_folder.size()));
  ++extracted_;
  FinishProgress(entry);
}

}  // namespace zipdll::extract
