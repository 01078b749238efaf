// The extractor's side of the callback: fills the record, calls the caller back, and turns an
// answer of -1 into RunAborted so that the run stops wherever it is.
#pragma once

#include <cstdint>
#include <string>

#include "zipdll/call_interface.h"

namespace zipdll {

// Thrown when the caller answers -1; caught by the library's entry point.
struct RunAborted {};

class Reporter {
 public:
  Reporter(Callback callback, void* caller) : callback_(callback), caller_(caller) {}

  // Each returns the record as the caller left it.
  const CallbackRecord& Call(Action action, const std::string& text, int64_t value, Slot flag = 0);

  void Message(const std::string& text) { Call(kActionMessage, text, 0); }
  void Skipped(const std::string& name, SkipReason reason, const std::string& why);

 private:
  Callback callback_;
  void* caller_;
  CallbackRecord record_{};
};

}  // namespace zipdll
