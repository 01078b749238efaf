// Work done ahead on threads and taken in order: results come back in their jobs' order whoever
// did them, no more is started than the bound lets, a worker's exception reaches the taker, a stop
// never waits for jobs not started, and a taker that breaks the order is told so instead of
// waiting for ever. The jobs are fakes that wait on each other, so each case happens every run.
#include "base/work_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace base {
namespace {

using namespace std::chrono_literals;

// A latch with a limit on the wait, so that a fault shows as a failure and not as a hung test.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  bool Wait(std::chrono::milliseconds limit = 10s) {
    std::unique_lock<std::mutex> lock(mutex_);
    return opened_.wait_for(lock, limit, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Waits until done answers true, at most a few seconds.
template <typename Done>
bool Eventually(Done done) {
  for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(1ms);
  return done();
}

// A result that counts how many of its kind are alive, as a file written ahead would be deleted
// when its result is dropped.
struct Owned {
  explicit Owned(int v, std::atomic<int>* alive) : value(v), alive_(alive) { ++*alive_; }
  Owned(Owned&& other) noexcept
      : value(other.value), alive_(std::exchange(other.alive_, nullptr)) {}
  Owned& operator=(Owned&&) = delete;
  ~Owned() {
    if (alive_) --*alive_;
  }
  int value;

 private:
  std::atomic<int>* alive_;
};

TEST(WorkAheadTest, ResultsComeInOrderAndThoseLeftOutAreDestroyed) {
  struct Case {
    unsigned threads;
    int take_every;  // 1: every job; 3: every third, the others left out
  };
  for (const Case c : {Case{0, 1}, Case{1, 1}, Case{3, 1}, Case{3, 3}}) {
    SCOPED_TRACE("threads " + std::to_string(c.threads) + ", every " +
                 std::to_string(c.take_every));
    std::atomic<int> alive{0};
    {
      WorkAhead<int, Owned> ahead(c.threads, 8, [&](int& job, unsigned) {
        // Uneven work, so that later jobs are often done before earlier ones.
        if (job % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        return Owned(job * job, &alive);
      });
      constexpr int kJobs = 300;
      for (int i = 0; i < kJobs; ++i) ahead.Add(i);
      for (int i = 0; i < kJobs; i += c.take_every) {
        std::optional<Owned> result = ahead.Take(i);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->value, i * i);
      }
    }
    EXPECT_EQ(alive, 0) << "a result left out or never taken was not destroyed";
  }
}

TEST(WorkAheadTest, NoMoreIsStartedThanTheBoundUnlessTheTakerNeedsIt) {
  std::atomic<int> started{0};
  WorkAhead<int, int> ahead(
      4, 10,
      [&](int& job, unsigned) {
        ++started;
        return job;
      },
      [](const int&, uint64_t) { return false; });
  for (int i = 0; i < 20; ++i) ahead.Add(i, 3);
  // Three jobs of cost 3 fit in a bound of 10; a fourth would not.
  ASSERT_TRUE(Eventually([&] { return started == 3; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(started, 3);
  ASSERT_EQ(ahead.Take(0), 0);
  ASSERT_TRUE(Eventually([&] { return started == 4; }));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(started, 4);

  // A job dearer than the whole bound still runs once it is the next to take.
  WorkAhead<int, int> dear(2, 10, [](int& job, unsigned) { return job; });
  dear.Add(1, 50);
  dear.Add(2, 50);
  EXPECT_EQ(dear.Take(0), 1);
  EXPECT_EQ(dear.Take(1), 2);
}

TEST(WorkAheadTest, AWorkersExceptionIsThrownToTheTakerInItsJobsPlace) {
  const std::thread::id taker = std::this_thread::get_id();
  std::atomic<bool> thrown_on_worker{false};
  WorkAhead<int, int> ahead(
      2, 64,
      [&](int& job, unsigned) {
        if (job == 1 || job == 2) thrown_on_worker = std::this_thread::get_id() != taker;
        if (job == 1) throw std::bad_alloc();
        if (job == 2) throw std::runtime_error("job 2 failed");
        return job;
      },
      [](const int&, uint64_t) { return false; });
  for (int i = 0; i < 4; ++i) ahead.Add(i);
  EXPECT_EQ(ahead.Take(0), 0);
  EXPECT_THROW(ahead.Take(1), std::bad_alloc);
  try {
    ahead.Take(2);
    ADD_FAILURE() << "job 2's exception was not handed over";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "job 2 failed");
  }
  EXPECT_TRUE(thrown_on_worker);
  EXPECT_EQ(ahead.Take(3), 3);
}

TEST(WorkAheadTest, AStopEndsTheJobsRunningAndStartsNoOther) {
  std::atomic<int> alive{0};
  std::atomic<int> started{0};
  std::atomic<int> running{0};
  {
    WorkAhead<int, Owned> ahead(2, 100, [&](int& job, unsigned) {
      ++started;
      ++running;
      // Runs until the work stops, as a long read polls its stop flag.
      while (!ahead.stopping()) std::this_thread::yield();
      --running;
      return Owned(job, &alive);
    });
    for (int i = 0; i < 10; ++i) ahead.Add(i);
    ASSERT_TRUE(Eventually([&] { return running == 2; }));
    ahead.Stop();
    EXPECT_EQ(running, 0);
    EXPECT_EQ(started, 2);
    // The two stopped jobs still hand over what they returned; those never started give nothing,
    // at once.
    EXPECT_TRUE(ahead.Take(1));
    EXPECT_FALSE(ahead.Take(5));
  }
  EXPECT_EQ(alive, 0);
}

TEST(WorkAheadTest, TheTakerDoesTheJobsItMayWhileItWaits) {
  Gate first;
  std::atomic<bool> worker_has_first{false};
  std::atomic<int> done_by_taker{0};
  WorkAhead<int, unsigned>* seen = nullptr;
  WorkAhead<int, unsigned> ahead(
      1, 64,
      [&](int& job, unsigned slot) {
        // The only worker holds job 0 until three others are done: only the taker can do them.
        if (job == 0) {
          worker_has_first = true;
          return first.Wait() ? slot : 999u;
        }
        if (slot == seen->TakerSlot() && ++done_by_taker == 3) first.Open();
        return slot;
      },
      [](const int&, uint64_t cost) { return cost == 1; });
  seen = &ahead;
  // Job 4 is one the taker may not do: it is left to the worker.
  for (int i = 0; i < 4; ++i) ahead.Add(i);
  ahead.Add(4, 2);
  ASSERT_TRUE(Eventually([&] { return worker_has_first.load(); }));
  EXPECT_EQ(ahead.Take(0), 0u) << "the worker gave up on job 0: the taker did not help";
  for (int i = 1; i < 4; ++i) EXPECT_EQ(ahead.Take(i), ahead.TakerSlot());
  EXPECT_EQ(ahead.Take(4), 0u);
}

TEST(WorkAheadTest, ATakerThatStopsWaitingGetsNothingAndMayComeBack) {
  Gate release;
  WorkAhead<int, int> ahead(
      1, 64, [&](int& job, unsigned) { return release.Wait() ? job : -1; },
      [](const int&, uint64_t) { return false; });
  ahead.Add(7);
  int asked = 0;
  EXPECT_FALSE(ahead.Take(0, [&] { return ++asked < 2; }));
  EXPECT_EQ(asked, 2);
  release.Open();
  EXPECT_EQ(ahead.Take(0), 7);
}

TEST(WorkAheadTest, TakingOutOfOrderIsRefusedRatherThanWaitedFor) {
  struct Case {
    const char* name;
    std::vector<size_t> takes;  // the last one breaks the order
  };
  const Case cases[] = {
      {"the same job twice", {0, 1, 1}},
      {"one below the last", {2, 1}},
      {"one not added", {3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WorkAhead<int, int> ahead(1, 64, [](int& job, unsigned) { return job; });
    for (int i = 0; i < 3; ++i) ahead.Add(i);
    for (size_t i = 0; i + 1 < c.takes.size(); ++i) ASSERT_TRUE(ahead.Take(c.takes[i]));
    EXPECT_THROW(ahead.Take(c.takes.back()), std::logic_error);
  }
}

}  // namespace
}  // namespace base
