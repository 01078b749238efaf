// A run's side of the callback, for both libraries: fills the record, calls the caller back, and
// turns an answer of -1 into RunCancelled so that the run stops wherever it is.
#pragma once

#include <cstdint>
#include <string>

#include "platform/cause.h"
#include "zipdll/call_interface.h"
#include "zipdll/common/run_cancelled.h"

namespace zipdll {

class Reporter {
 public:
  Reporter(Callback callback, void* caller) : callback_(callback), caller_(caller) {}

  // Each returns the record as the caller left it (its answer), or throws RunCancelled when the
  // caller answers -1. The value is clamped to what the slot holds: a 32-bit slot cannot carry
  // more than 2 GiB either way, and a size clamped still reads as a large one, where one cut to
  // its low bits could read as anything, a negative number included. The text is cut to what
  // the record holds. flag carries a platform::Cause with a skip or a failure's message.
  const CallbackRecord& Call(Action action, const std::string& text, int64_t value, Slot flag = 0);

  void Message(const std::string& text) { Call(kActionMessage, text, 0); }
  // A message saying why the run failed, with the cause of the system call that failed as the
  // record's flag, and the bytes the new archive was estimated to need as its value (0: unknown).
  void Failure(const std::string& text, platform::Cause cause, int64_t needed = 0) {
    Call(kActionMessage, text, needed, static_cast<Slot>(cause));
  }
  // The message saying why, worded by the run, then the skip itself with what was skipped (a
  // file, an entry or a file spec) as its text, so that the caller can tell which did not go
  // through, and the cause of a failed system call as its flag, for the caller to word.
  void Skipped(const std::string& what, SkipReason reason, const std::string& message,
               platform::Cause cause = platform::Cause::kNone);

 private:
  Callback callback_;
  void* caller_;
  CallbackRecord record_{};
};

}  // namespace zipdll
