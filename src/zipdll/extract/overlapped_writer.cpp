#include "zipdll/extract/overlapped_writer.h"

#include <utility>

namespace zipdll::extract {

OverlappedWriter::OverlappedWriter(platform::File* file)
    : file_(file),
      writes_(
          1, kInFlight, [this](std::string& batch, unsigned) { return WriteBatch(batch); },
          // The run's thread never writes, or two batches could be written out of turn.
          [](const std::string&, uint64_t) { return false; }) {}

bool OverlappedWriter::Write(const uint8_t* data, size_t size) {
  filling_.append(reinterpret_cast<const char*>(data), size);
  return filling_.size() < kBatch ? !failed_ : Hand();
}

bool OverlappedWriter::Finish() {
  if (!Hand()) return false;
  while (taken_ < handed_) TakeBack();
  return !failed_;
}

bool OverlappedWriter::Hand() {
  if (filling_.empty()) return !failed_;
  writes_.Add(std::move(filling_));
  ++handed_;
  filling_ = std::string();
  // A batch written before is filled again rather than new memory taken for each.
  if (handed_ - taken_ > kInFlight) filling_ = TakeBack();
  filling_.clear();
  return !failed_;
}

std::string OverlappedWriter::TakeBack() { return std::move(*writes_.Take(taken_++)); }

std::string OverlappedWriter::WriteBatch(std::string& batch) {
  if (!failed_ && !file_->Write(batch.data(), batch.size())) {
    cause_ = platform::LastCause();
    failed_ = true;
  }
  return std::move(batch);
}

}  // namespace zipdll::extract
