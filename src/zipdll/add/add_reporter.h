// The adding run's side of the callback: fills a record, calls the caller back, and turns an
// answer of -1 into RunCancelled so that the run stops wherever it is.
#pragma once

#include <cstdint>
#include <string>

#include "zipdll/call_interface.h"
#include "zipdll/common/run_cancelled.h"

namespace zipdll::add {

class Reporter {
 public:
  Reporter(Callback callback, void* caller) : callback_(callback), caller_(caller) {}
  // Each throws RunCancelled when the caller answers -1.
  void Report(Action action, int64_t value, const std::string& text = std::string());
  void Message(const std::string& text) { Report(kActionMessage, 0, text); }
  // A message saying why, then the skip itself with what was skipped (a file or a file spec) as
  // its text, so that the caller can tell which of the files it was told of did not go in.
  void Skipped(SkipReason reason, const std::string& what, const std::string& why);

 private:
  Callback callback_;
  void* caller_;
};

}  // namespace zipdll::add
