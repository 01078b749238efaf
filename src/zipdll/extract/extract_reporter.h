// The extracting run's side of the callback: fills the record, calls the caller back, and turns an
// answer of -1 into RunCancelled so that the run stops wherever it is.
#pragma once

#include <cstdint>
#include <string>

#include "platform/cause.h"
#include "zipdll/call_interface.h"
#include "zipdll/common/run_cancelled.h"

namespace zipdll::extract {

class Reporter {
 public:
  Reporter(Callback callback, void* caller) : callback_(callback), caller_(caller) {}

  // Each returns the record as the caller left it, or throws RunCancelled when the caller answers
  // -1.
  const CallbackRecord& Call(Action action, const std::string& text, int64_t value, Slot flag = 0);

  void Message(const std::string& text) { Call(kActionMessage, text, 0); }
  // A message saying why, then the skip with the cause of a failed system call as its flag.
  void Skipped(const std::string& name, SkipReason reason, const std::string& why,
               platform::Cause cause = platform::Cause::kNone);

 private:
  Callback callback_;
  void* caller_;
  CallbackRecord record_{};
};

}  // namespace zipdll::extract
