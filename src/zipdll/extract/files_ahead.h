// Writes the new files of an extracting run on worker threads, ahead of the thread that reports
// them, so that making files, inflating and writing keep every core busy. The run says what a job
// is (ExtractRun::WriteAhead): it either writes its file whole or leaves nothing behind, and in
// the second case the run goes through that entry itself, the usual way, with its questions and
// its reports. Files written ahead that the run never takes as its own (it was cancelled, or an
// earlier entry stopped it) are deleted.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace zipdll::extract {

class FilesAhead {
 public:
  // write(job, archive) writes the file of job with its own handle on the archive and answers
  // whether it did; it leaves nothing behind when it did not. undo(job) deletes a file it wrote.
  // Both are called on the workers (undo also on the thread that destroys this).
  using Write = std::function<bool(size_t job, platform::File& archive)>;
  using Undo = std::function<void(size_t job)>;

  // Starts up to threads workers on jobs 0 .. jobs - 1, which they take in order, never more
  // than kAhead beyond the last one claimed. The thread that claims does jobs too while the one it
  // claims is not done, so that on two cores one worker is enough.
  FilesAhead(const std::string& archive_path, size_t jobs, unsigned threads, Write write,
             Undo undo);
  // Stops the workers after the job each is doing, then deletes every file written and not kept.
  ~FilesAhead();
  FilesAhead(const FilesAhead&) = delete;
  FilesAhead& operator=(const FilesAhead&) = delete;

  static constexpr size_t kAhead = 64;

  // Waits for the job (claimed in order: 0, 1, 2 ...), doing others meanwhile, and says whether
  // its file was written.
  bool Claim(size_t job);
  // The claimed file is the run's: it stays, whatever happens next.
  void Keep(size_t job);

 private:
  // A job not written yet is pending, whether a thread has it (it is below next_) or not.
  enum class State { kPending, kWritten, kNotWritten, kKept };
  void Work();
  // Takes the next job if one may be started; holds mutex_.
  bool TakeJob(size_t* job);
  // Does the job without the lock, then records it; holds mutex_ before and after.
  void RunJob(size_t job, platform::File* archive, std::unique_lock<std::mutex>* lock);

  const std::string archive_path_;
  Write write_;
  Undo undo_;
  std::mutex mutex_;
  // Each side is woken only when it waits for what happened, as there is a job every few dozen
  // microseconds.
  std::condition_variable job_done_;      // the claiming thread waits on it
  std::condition_variable window_moved_;  // idle workers wait on it
  size_t awaited_ = SIZE_MAX;             // the job the claiming thread waits for
  std::unique_ptr<platform::File> own_archive_;  // the claiming thread's handle on the archive
  std::vector<State> states_;
  size_t next_ = 0;     // next job a worker takes
  size_t claimed_ = 0;  // jobs claimed so far
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace zipdll::extract
