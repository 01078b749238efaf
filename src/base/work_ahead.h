// Work done ahead on threads, its results taken in order: the one way the program keeps cores busy
// while a single thread (the taker) goes through a list of jobs and does what must happen in the
// list's order with each result.
//
// Jobs are added at the end, each with its cost (a count, bytes, whatever the caller bounds).
// Workers start them in the order they were added, never beyond a bound on the cost started and
// not yet taken, except that the job the taker comes to next is always let through however much
// it costs. The taker takes the results by index, in increasing order, and may leave some out;
// while the one it waits for is not done it does the next jobs itself, where its caller lets it,
// because waking it for each job would cost more than small jobs do.
//
// A job that throws hands its exception to the taker in its place: Take throws it there, on the
// taker's thread, where the program handles its failures. A result that is never taken (left
// out, or still there when the work is stopped) is destroyed, so a result that owns something
// (a file written ahead) gives it back in its destructor.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace base {

template <typename Job, typename Result>
class WorkAhead {
 public:
  // Does one job, on a worker (slot 0 .. threads - 1) or on the taker (slot threads). A slot is
  // never used by two threads at once, so a caller may keep state of its own per slot (a file
  // handle each). Jobs that take long should look at stopping() now and then.
  using Work = std::function<Result(Job& job, unsigned slot)>;
  // Whether the taker may do this job itself while it waits; with no such rule, it may do any.
  // Without a worker (none could be started) the taker does every job whatever this says.
  using TakerMay = std::function<bool(const Job& job, uint64_t cost)>;

  // Starts up to threads workers at once, fewer when the system gives fewer.
  WorkAhead(unsigned threads, uint64_t bound, Work work, TakerMay taker_may = nullptr)
      : slots_(threads + 1),
        bound_(bound),
        work_(std::move(work)),
        taker_may_(std::move(taker_may)) {
    try {
      for (unsigned slot = 0; slot < threads; ++slot) {
        workers_.emplace_back([this, slot] { WorkerLoop(slot); });
      }
    } catch (const std::system_error&) {
      // Fewer workers, or none: the taker does the jobs nobody takes.
    }
  }
  // Stops the workers after the job each is doing; the results not taken are destroyed.
  ~WorkAhead() { Stop(); }
  WorkAhead(const WorkAhead&) = delete;
  WorkAhead& operator=(const WorkAhead&) = delete;

  // How often a waiting Take asks its caller whether to go on.
  static constexpr std::chrono::milliseconds kWaitReport{100};

  // Adds a job at the end; its index is the number of jobs added before it.
  void Add(Job job, uint64_t cost = 1) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Slot& slot = jobs_.emplace_back();
      slot.job = std::move(job);
      slot.cost = cost;
      if (idle_ == 0) return;
    }
    room_.notify_one();
  }

  // Waits for the job of index, doing others meanwhile, and hands over its result, or throws what
  // the job threw. Indexes are taken in increasing order; the jobs between two of them are left
  // out. Taking an index again, one below the last, or one not added throws std::logic_error: it
  // would wait for ever. While it waits it calls still_waiting (when given) every kWaitReport and
  // gives up when that answers false. Nothing when it gave up, or when the work was stopped before
  // the job was done.
  std::optional<Result> Take(size_t index, const std::function<bool()>& still_waiting = nullptr) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (index < taken_ || index >= jobs_.size()) {
      throw std::logic_error(index < taken_ ? "work ahead: a job taken out of order"
                                            : "work ahead: a job taken before it was added");
    }
    LeaveOut(index, lock);
    // The window of work ahead starts here now, however many jobs were left out.
    if (idle_ > 0 && MayStart()) room_.notify_all();
    Slot& slot = jobs_[index];
    auto asked = std::chrono::steady_clock::now();
    while (slot.state != State::kDone) {
      if (stopping_ && slot.state == State::kWaiting) return std::nullopt;
      if (TakerMayStart()) {
        RunJob(next_++, TakerSlot(), lock);
      } else {
        awaited_ = index;
        const auto ready = [&] {
          return slot.state == State::kDone || (stopping_ && slot.state == State::kWaiting);
        };
        if (still_waiting) {
          done_.wait_for(lock, kWaitReport, ready);
        } else {
          done_.wait(lock, ready);
        }
        awaited_ = kNone;
      }
      if (slot.state != State::kDone && still_waiting &&
          std::chrono::steady_clock::now() - asked >= kWaitReport) {
        // The caller is asked without the lock, so the workers carry on meanwhile.
        lock.unlock();
        const bool go_on = still_waiting();
        lock.lock();
        if (!go_on) return std::nullopt;
        asked = std::chrono::steady_clock::now();
      }
    }
    std::optional<Result> result = std::move(slot.result);
    const std::exception_ptr error = std::move(slot.error);
    cost_ahead_ -= slot.cost;
    Clear(slot);
    taken_ = index + 1;
    const bool wake = idle_ > 0;
    lock.unlock();
    if (wake) room_.notify_all();
    if (error) std::rethrow_exception(error);
    return result;
  }

  // Stops the workers after the job each is doing and waits for them; no job starts afterwards.
  // Called by the taker's thread, or by the one that owns this.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      stop_flag_ = true;
    }
    room_.notify_all();
    done_.notify_all();
    for (std::thread& worker : workers_) {
      if (worker.joinable()) worker.join();
    }
  }

  // Set once the work is stopping: a long job polls it and gives up early.
  const std::atomic<bool>& stopping() const { return stop_flag_; }
  // The slot the taker does jobs in; the workers' are below it.
  unsigned TakerSlot() const { return static_cast<unsigned>(slots_ - 1); }
  unsigned slots() const { return static_cast<unsigned>(slots_); }
  // Workers that could be started.
  size_t workers() const { return workers_.size(); }

 private:
  enum class State { kWaiting, kRunning, kDone, kTaken };
  struct Slot {
    Job job;
    uint64_t cost = 0;
    State state = State::kWaiting;
    bool left_out = false;  // its result is not wanted: dropped as soon as it is done
    std::optional<Result> result;
    std::exception_ptr error;
  };
  static constexpr size_t kNone = SIZE_MAX;

  // A slot that is taken or left out keeps nothing.
  static void Clear(Slot& slot) {
    slot.job = Job();
    slot.state = State::kTaken;
    slot.left_out = false;
    slot.result.reset();
    slot.error = nullptr;
  }

  // Whether the next job may start: one is waiting and the bound allows it. Holds mutex_.
  bool MayStart() const {
    return !stopping_ && next_ < jobs_.size() &&
           (next_ <= taken_ || cost_ahead_ + jobs_[next_].cost <= bound_);
  }
  bool TakerMayStart() const {
    return MayStart() &&
           (workers_.empty() || !taker_may_ || taker_may_(jobs_[next_].job, jobs_[next_].cost));
  }

  // The jobs from the last taken up to index are not wanted: those not started never will be,
  // the results of those done are dropped, those running drop theirs when done. Holds mutex_.
  void LeaveOut(size_t index, std::unique_lock<std::mutex>& lock) {
    std::vector<Result> dropped;
    for (size_t i = taken_; i < index; ++i) {
      Slot& slot = jobs_[i];
      if (slot.state == State::kRunning) {
        slot.left_out = true;
        continue;
      }
      if (slot.state == State::kDone) {
        cost_ahead_ -= slot.cost;
        if (slot.result) dropped.push_back(std::move(*slot.result));
      }
      Clear(slot);
    }
    if (next_ < index) next_ = index;
    taken_ = index;
    if (!dropped.empty()) {
      // Destroyed without the lock: a result may give back what it owns, which takes time.
      lock.unlock();
      dropped.clear();
      lock.lock();
    }
  }

  // Does the job of index in slot without the lock, which is held before and after.
  void RunJob(size_t index, unsigned slot, std::unique_lock<std::mutex>& lock) {
    Slot& job = jobs_[index];
    job.state = State::kRunning;
    cost_ahead_ += job.cost;
    lock.unlock();
    std::optional<Result> result;
    std::exception_ptr error;
    try {
      result.emplace(work_(job.job, slot));
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (job.left_out) {
      cost_ahead_ -= job.cost;
      Clear(job);
      lock.unlock();
      result.reset();
      lock.lock();
      return;
    }
    if (result) job.result.emplace(std::move(*result));
    job.error = std::move(error);
    job.state = State::kDone;
    if (awaited_ == index) done_.notify_one();
  }

  void WorkerLoop(unsigned slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ++idle_;
      room_.wait(lock, [&] { return stopping_ || MayStart(); });
      --idle_;
      if (stopping_) return;
      RunJob(next_++, slot, lock);
    }
  }

  const size_t slots_;
  const uint64_t bound_;
  const Work work_;
  const TakerMay taker_may_;
  std::mutex mutex_;
  // Each side is woken only when it waits for what happened, as a job may take a few dozen
  // microseconds.
  std::condition_variable done_;  // the taker waits on it for the job it takes
  std::condition_variable room_;  // idle workers wait on it for a job they may start
  std::deque<Slot> jobs_;         // by index; a deque keeps each in place as more are added
  size_t next_ = 0;               // the next job anyone starts
  size_t taken_ = 0;              // jobs the taker is past
  uint64_t cost_ahead_ = 0;       // the cost of the jobs started and not taken or dropped
  size_t awaited_ = kNone;        // the job the taker waits for
  unsigned idle_ = 0;             // workers waiting for a job they may start
  bool stopping_ = false;
  std::atomic<bool> stop_flag_{false};
  std::vector<std::thread> workers_;
};

}  // namespace base
