// Writes an entry's data to its file on a thread of its own, so that the next pieces are read,
// decrypted and inflated while the last ones are written. Each batch is a job of one worker,
// which writes them in turn; the run takes each back, to fill again, a few batches later.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/work_ahead.h"
#include "platform/cause.h"
#include "platform/platform.h"

namespace zipdll::extract {

class OverlappedWriter {
 public:
  explicit OverlappedWriter(platform::File* file);
  // Without Finish (a failure or a cancel on the way) what was not written yet is dropped.
  ~OverlappedWriter() = default;
  OverlappedWriter(const OverlappedWriter&) = delete;
  OverlappedWriter& operator=(const OverlappedWriter&) = delete;

  // Why the write that failed did, once one has.
  platform::Cause cause() const { return cause_; }

  // Takes a copy of the bytes; false once a write failed.
  bool Write(const uint8_t* data, size_t size);
  // Writes what is left and waits for it; false when any write failed.
  bool Finish();

 private:
  static constexpr size_t kBatch = 256 << 10;
  // Batches handed over and not taken back: two waiting and the one being written.
  static constexpr size_t kInFlight = 3;

  bool Hand();
  std::string TakeBack();
  // On the worker: after a failure nothing more is written.
  std::string WriteBatch(std::string& batch);

  platform::File* const file_;
  std::string filling_;
  size_t handed_ = 0;
  size_t taken_ = 0;
  // Set by the worker, read by the run's thread after it took the batch back or as a hint.
  std::atomic<bool> failed_{false};
  std::atomic<platform::Cause> cause_{platform::Cause::kNone};
  base::WorkAhead<std::string, std::string> writes_;  // last: stopped before the rest goes
};

}  // namespace zipdll::extract
