#include "zipdll/extract/files_ahead.h"

#include <system_error>
#include <utility>

namespace zipdll::extract {

FilesAhead::FilesAhead(const std::string& archive_path, size_t jobs, unsigned threads,
                       Write write, Undo undo)
    : archive_path_(archive_path),
      write_(std::move(write)),
      undo_(std::move(undo)),
      states_(jobs, State::kPending) {
  if (threads > jobs) threads = static_cast<unsigned>(jobs);
  try {
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // Fewer workers, or none: the claiming thread does the jobs nobody took.
  }
}

FilesAhead::~FilesAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  window_moved_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  for (size_t job = 0; job < states_.size(); ++job) {
    if (states_[job] == State::kWritten) undo_(job);
  }
}

bool FilesAhead::TakeJob(size_t* job) {
  if (stopping_ || next_ >= states_.size() || next_ >= claimed_ + kAhead) return false;
  *job = next_++;
  return true;
}

void FilesAhead::RunJob(size_t job, platform::File* archive, std::unique_lock<std::mutex>* lock) {
  lock->unlock();
  const bool written = archive && write_(job, *archive);
  lock->lock();
  states_[job] = written ? State::kWritten : State::kNotWritten;
  if (awaited_ == job) job_done_.notify_one();
}

void FilesAhead::Work() {
  // Each thread reads the archive through a handle of its own, positioned as it needs.
  const std::unique_ptr<platform::File> archive =
      platform::File::Open(archive_path_, platform::File::Mode::kRead);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    size_t job = 0;
    bool took = false;
    window_moved_.wait(lock, [&] {
      return stopping_ || next_ >= states_.size() || (took = TakeJob(&job));
    });
    if (!took) return;
    RunJob(job, archive.get(), &lock);
  }
}

bool FilesAhead::Claim(size_t job) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto ready = [&] { return states_[job] != State::kPending; };
  // Rather than wait, this thread does the next job nobody has taken: waking it for each job
  // would cost more than the jobs.
  size_t own;
  while (!ready() && TakeJob(&own)) {
    if (!own_archive_) {
      lock.unlock();
      own_archive_ = platform::File::Open(archive_path_, platform::File::Mode::kRead);
      lock.lock();
    }
    RunJob(own, own_archive_.get(), &lock);
  }
  awaited_ = job;
  job_done_.wait(lock, ready);
  awaited_ = SIZE_MAX;
  const bool written = states_[job] == State::kWritten;
  claimed_ = job + 1;
  lock.unlock();
  window_moved_.notify_all();
  return written;
}

void FilesAhead::Keep(size_t job) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (states_[job] == State::kWritten) states_[job] = State::kKept;
}

}  // namespace zipdll::extract
