#include "zipdll/add/add_reporter.h"

#include <algorithm>
#include <cstring>

namespace zipdll::add {

void Reporter::Report(Action action, int64_t value, const std::string& text) {
  if (!callback_) return;
  CallbackRecord record = {};
  record.caller = caller_;
  record.action = action;
  record.value = static_cast<Slot>(value);
  const size_t length = std::min(text.size(), kCallbackTextSize - 1);
  std::memcpy(record.text, text.data(), length);
  if (callback_(&record) == -1) throw RunCancelled();
}

void Reporter::Skipped(SkipReason reason, const std::string& what, const std::string& why) {
  Message(why);
  Report(kActionSkipped, reason, what);
}

}  // namespace zipdll::add
