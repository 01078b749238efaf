#include "zipdll/common/reporter.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zipdll {

const CallbackRecord& Reporter::Call(Action action, const std::string& text, int64_t value,
                                     Slot flag) {
  record_ = CallbackRecord{};
  record_.caller = caller_;
  record_.action = action;
  record_.flag = flag;
  record_.value = static_cast<Slot>(std::clamp<int64_t>(value, std::numeric_limits<Slot>::min(),
                                                        std::numeric_limits<Slot>::max()));
  const size_t length = std::min(text.size(), kCallbackTextSize - 1);
  std::memcpy(record_.text, text.data(), length);
  record_.text[length] = '\0';
  if (!callback_) return record_;
  if (callback_(&record_) == -1) throw RunCancelled();
  record_.text[kCallbackTextSize - 1] = '\0';
  return record_;
}

void Reporter::Skipped(const std::string& what, SkipReason reason, const std::string& message,
                       platform::Cause cause) {
  Message(message);
  Call(kActionSkipped, what, reason, static_cast<Slot>(cause));
}

}  // namespace zipdll
