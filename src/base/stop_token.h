// One way to ask a run to stop, and one way for the run to see that it was asked: the owner keeps
// the StopSource, the run is handed a StopToken and tests it at each point where it can stop.
#pragma once

#include <atomic>
#include <memory>

namespace base {

class StopToken {
 public:
  // A token that no one can stop.
  StopToken() = default;

  bool Requested() const { return flag_ && flag_->load(std::memory_order_acquire); }

 private:
  friend class StopSource;
  explicit StopToken(std::shared_ptr<const std::atomic<bool>> flag) : flag_(std::move(flag)) {}
  std::shared_ptr<const std::atomic<bool>> flag_;
};

class StopSource {
 public:
  StopSource() : flag_(std::make_shared<std::atomic<bool>>(false)) {}

  // Every token of this source sees it from now on; there is no taking it back.
  void Request() { flag_->store(true, std::memory_order_release); }
  bool Requested() const { return flag_->load(std::memory_order_acquire); }
  StopToken Token() const { return StopToken(flag_); }

 private:
  std::shared_ptr<std::atomic<bool>> flag_;
};

}  // namespace base
