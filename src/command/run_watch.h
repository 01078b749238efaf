// Watches what the archive component's library says during one run, for a command that must
// tell the user what did not go through.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "command/run_report.h"
#include "platform/cause.h"
#include "zip/tzip.h"

namespace command {

// What the library says during one run of the component: the files it began, those it then
// skipped, why, and whether it reached the end of the batch. The component's own handlers are
// put back when the watch ends, however the run ends.
class RunWatch {
 public:
  explicit RunWatch(zip::TZip& zip)
      : zip_(zip),
        begin_(zip.OnZEDBeginFileEvent),
        skipped_(zip.OnZEDSkippedEvent),
        message_(zip.OnZEDMessageEvent),
        end_(zip.OnZEDEndBatchEvent) {
    zip_.OnZEDBeginFileEvent = [this](zip::TZip& sender, const std::string& name, int size,
                                      int count, int bytes) {
      begun_.push_back(name);
      if (begin_) begin_(sender, name, size, count, bytes);
    };
    // The library explains each skip in a message just before it; any other message says why
    // the run failed, and the one that ends a run carries the cause of the failure.
    zip_.OnZEDMessageEvent = [this](zip::TZip& sender, const std::string& text,
                                    platform::Cause cause, int64_t needed) {
      if (!pending_message_.empty()) failure_ = pending_message_;
      pending_message_ = text;
      if (cause != platform::Cause::kNone || needed > 0) {
        failure_cause_ = cause;
        needed_ = needed;
      }
      if (message_) message_(sender, text, cause, needed);
    };
    zip_.OnZEDSkippedEvent = [this](zip::TZip& sender, const std::string& what, int reason,
                                    platform::Cause cause) {
      skips_.push_back({what, pending_message_, reason, cause});
      pending_message_.clear();
      if (skipped_) skipped_(sender, what, reason, cause);
    };
    zip_.OnZEDEndBatchEvent = [this](zip::TZip& sender, int skipped, int count, int bytes) {
      ended_ = true;
      if (end_) end_(sender, skipped, count, bytes);
    };
  }
  ~RunWatch() {
    zip_.OnZEDBeginFileEvent = begin_;
    zip_.OnZEDSkippedEvent = skipped_;
    zip_.OnZEDMessageEvent = message_;
    zip_.OnZEDEndBatchEvent = end_;
  }
  RunWatch(const RunWatch&) = delete;
  RunWatch& operator=(const RunWatch&) = delete;

  struct Skip {
    std::string what;
    std::string why;  // the library's message
    int reason = 0;
    platform::Cause cause = platform::Cause::kNone;
  };

  bool ended() const { return ended_; }
  // Why the run failed, as the library's last word on it gave it, and the bytes the archive was
  // estimated to need when the drive filled.
  platform::Cause failure_cause() const { return failure_cause_; }
  int64_t needed() const { return needed_; }
  const std::vector<Skip>& skips() const { return skips_; }
  // The last message that was not the reason for a skip.
  std::string failure() const { return pending_message_.empty() ? failure_ : pending_message_; }

  // The files begun, less those skipped after they were begun.
  std::vector<std::string> Added() const {
    std::multiset<std::string> dropped;
    for (const Skip& skip : skips_) dropped.insert(skip.what);
    std::vector<std::string> added;
    for (const std::string& name : begun_) {
      const auto found = dropped.find(name);
      if (found != dropped.end()) {
        dropped.erase(found);
      } else {
        added.push_back(name);
      }
    }
    return added;
  }

 private:
  zip::TZip& zip_;
  zip::TZEDBeginFileEvent begin_;
  zip::TZEDSkippedEvent skipped_;
  zip::TZEDMessageEvent message_;
  zip::TZEDEndBatchEvent end_;
  std::vector<std::string> begun_;
  std::vector<Skip> skips_;
  std::string pending_message_;
  std::string failure_;
  platform::Cause failure_cause_ = platform::Cause::kNone;
  int64_t needed_ = 0;
  bool ended_ = false;
};

// A skip that leaves out a file the user wanted: not one the user chose (an older file in an
// update, a hidden file left out), nor a mask or a pattern that matched nothing.
inline bool LeavesOut(const RunWatch::Skip& skip) {
  if (SkipReasonPhrase(skip.reason).empty()) return false;
  return !(skip.reason == zipdll::kSkipNotFound && skip.cause == platform::Cause::kNone);
}

}  // namespace command
