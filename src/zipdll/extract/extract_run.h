// One extracting run: chooses the entries, asks the caller what it must, and writes each file
// beside its target before it replaces anything, so that nothing the user had is lost on failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/thread_annotations.h"
#include "platform/platform.h"
#include "zipdll/common/reporter.h"
#include "zipdll/common/zip_reader.h"
#include "zipdll/extract/name_tree.h"

namespace zipdll::extract {

class FileAhead;

struct ExtractOptions {
  std::string archive;
  std::string target_folder;       // with a trailing backslash
  std::string password;            // tried first for encrypted entries, when not empty
  std::vector<std::string> specs;  // empty: every entry
  bool test_only = false;
  bool update = false;
  bool freshen = false;
  bool recreate_folders = false;
  bool overwrite = false;
  int password_attempts = 0;
};

class ExtractRun {
 public:
  ExtractRun(ExtractOptions options, Reporter* reporter);

  // Runs the batch; throws RunCancelled when the caller cancels. extracted() counts what was done
  // either way.
  void Run();
  int extracted() const { return extracted_; }

 private:
  static constexpr uint64_t kProgressStep = 64 * 1024;
  // Entries from this size on are written on a thread of their own while they are inflated.
  static constexpr uint64_t kOverlapFrom = 512 * 1024;
  // New files of entries below kOverlapFrom are written ahead on workers when a run has this
  // many.
  static constexpr size_t kAheadFrom = 8;
  static constexpr size_t kNoJob = SIZE_MAX;
  // Workers beside the run's own thread, which writes files too while it waits for one.
  static unsigned AheadWorkers();

  void ProcessEntry(const EntryInfo& entry);
  // Tells the caller why the entry name was left out, in the words of this library.
  void Skipped(const std::string& name, SkipReason reason, const std::string& why,
               platform::Cause cause = platform::Cause::kNone) {
    reporter_->Skipped(name, reason,
                       "Skipped \"" + name + "\": " + platform::WithCause(why, cause) + ".", cause);
  }
  void MakeFolder(const EntryInfo& entry);
  // Decides whether to write target; false (after a skip report) when it is to stay.
  // *replacing tells whether a file of that name exists.
  bool MayWrite(const EntryInfo& entry, const std::string& target, bool* replacing);
  // Finds a password that opens the entry; false (after a skip report) when there is none.
  bool FindPassword(const EntryInfo& entry, uint64_t data_offset, std::string* password);
  void TestEntry(const EntryInfo& entry, uint64_t data_offset, const std::string& password);
  void WriteEntry(const EntryInfo& entry, uint64_t data_offset, const std::string& password,
                  const std::string& target, bool replacing);
  // The entries whose new files may be written ahead on worker threads, with their targets; in a
  // test, the entries that may be read and checked ahead, without targets.
  struct AheadJob {
    const EntryInfo* entry;
    std::string target;
  };
  // For each chosen entry, why its name is too long to be made on the target; empty when it fits.
  std::vector<std::string> UnfitNames(const std::vector<const EntryInfo*>& chosen) const;
  // Leaves out the entries with an unfit name.
  std::vector<AheadJob> PlanAhead(const std::vector<const EntryInfo*>& chosen,
                                  const std::vector<std::string>& unfit,
                                  std::vector<size_t>* job_of) const;
  // On a worker: writes the job's file where none is, whole and dated, through archive; false,
  // leaving nothing of its own behind, when it cannot or when anything is amiss. In a test, reads
  // the entry through and says whether it is sound.
  bool WriteAhead(const AheadJob& job, platform::File& archive);
  // Reports an entry whose file was written ahead as the job of ahead, as ProcessEntry reports
  // one it wrote itself; the file is kept from the moment all its bytes are reported.
  void ReportWrittenAhead(const EntryInfo& entry, const AheadJob& job, FileAhead& file);
  // Whether the drive of folder has room for a file of size bytes beyond the margin, counting
  // that room as taken when it has; true when the drive cannot say (the write then finds out).
  // *available is the room the drive told when it has not. Safe on the workers.
  bool TakeRoom(const std::string& folder, uint64_t size, uint64_t* available);
  // Makes the folders of relative (below the target folder) that this run has not seen yet. Safe
  // on the workers, which say so with ahead: what they make is removed at the end of the run
  // unless the run's own thread comes to use it, or a file written ahead in it is kept.
  bool CreateFolders(const std::string& relative, bool ahead = false);
  // Removes the folders made ahead that the run never took as its own, where they are empty.
  void RemoveFoldersMadeAhead();
  // Sends the rest of the entry's bytes as progress, so that the batch total is always reached.
  void FinishProgress(const EntryInfo& entry);
  void ReportProgress(uint64_t bytes);

  ExtractOptions options_;
  Reporter* reporter_;
  std::unique_ptr<platform::File> archive_;
  Directory directory_;
  std::vector<std::string> known_passwords_;
  // Folders that this run found or made (marked folder), so that the folders of each entry are
  // looked for once per run rather than once per entry.
  base::Mutex made_folders_mutex_;
  NameTree made_folders_ GUARDED_BY(made_folders_mutex_);
  // Node and path, in the order made.
  std::vector<std::pair<size_t, std::string>> made_ahead_ GUARDED_BY(made_folders_mutex_);
  // The free room of the drive written to, as the drive last told it less what the run wrote
  // since: asking the drive for each file costs more than many small files take to write.
  base::Mutex room_mutex_;
  std::optional<uint64_t> room_left_ GUARDED_BY(room_mutex_);
  unsigned next_work_name_ = 0;  // drawn at random once a run
  uint64_t reported_ = 0;        // progress sent for the current entry
  uint64_t pending_ = 0;         // progress not yet sent
  int extracted_ = 0;
};

}  // namespace zipdll::extract
