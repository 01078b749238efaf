#include "zipdll/add/add_reporter.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zipdll::add {

void Reporter::Report(Action action, int64_t value, const std::string& text, Slot flag) {
  if (!callback_) return;
  CallbackRecord record = {};
  record.caller = caller_;
  record.action = action;
  record.flag = flag;
  record.value = static_cast<Slot>(std::clamp<int64_t>(value, std::numeric_limits<Slot>::min(),
                                                       std::numeric_limits<Slot>::max()));
  const size_t length = std::min(text.size(), kCallbackTextSize - 1);
  std::memcpy(record.text, text.data(), length);
  if (callback_(&record) == -1) throw RunCancelled();
}

void Reporter::Skipped(SkipReason reason, const std::string& what, const std::string& why,
                       platform::Cause cause) {
  Message(platform::WithCause(why, cause));
  Report(kActionSkipped, reason, what, static_cast<Slot>(cause));
}

}  // namespace zipdll::add
