// The adding run's side of the callback: fills a record, calls the caller back, and turns an
// answer of -1 into RunCancelled so that the run stops wherever it is.
#pragma once

#include <cstdint>
#include <string>

#include "platform/cause.h"
#include "zipdll/call_interface.h"
#include "zipdll/common/run_cancelled.h"

namespace zipdll::add {

class Reporter {
 public:
  Reporter(Callback callback, void* caller) : callback_(callback), caller_(caller) {}
  // Each throws RunCancelled when the caller answers -1.
  // flag carries a platform::Cause with a skip or a failure's message.
  void Report(Action action, int64_t value, const std::string& text = std::string(), Slot flag = 0);
  void Message(const std::string& text) { Report(kActionMessage, 0, text); }
  // A message saying why the run failed, with the cause of the system call that failed as the
  // record's flag, and the bytes the new archive was estimated to need as its value (0: unknown).
  void Failure(const std::string& text, platform::Cause cause, int64_t needed = 0) {
    Report(kActionMessage, needed, text, static_cast<Slot>(cause));
  }
  // A message saying why, then the skip itself with what was skipped (a file or a file spec) as
  // its text, so that the caller can tell which of the files it was told of did not go in. The
  // skip carries the cause of a failed system call as its flag, for the caller to word.
  void Skipped(SkipReason reason, const std::string& what, const std::string& why,
               platform::Cause cause = platform::Cause::kNone);

 private:
  Callback callback_;
  void* caller_;
};

}  // namespace zipdll::add
