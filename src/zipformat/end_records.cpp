#include "zipformat/end_records.h"

namespace zipformat {

std::optional<Zip64EndLocator> ReadZip64Locator(const ReadAt& read, uint64_t end_position) {
  if (end_position < Zip64EndLocator::kSize) return std::nullopt;
  uint8_t bytes[Zip64EndLocator::kSize];
  if (!read(end_position - Zip64EndLocator::kSize, bytes, sizeof bytes)) return std::nullopt;
  return Zip64EndLocator::Parse(bytes);
}

std::optional<Zip64End> FindZip64End(
    const ReadAt& read, uint64_t locator_position, const Zip64EndLocator& locator,
    Zip64Places order, const std::function<bool(uint64_t, const Zip64EndRecord&)>& accept) {
  const bool adjacent_fits = locator_position >= Zip64EndRecord::kSize;
  const uint64_t adjacent = adjacent_fits ? locator_position - Zip64EndRecord::kSize : 0;
  const auto try_at = [&](uint64_t position) -> std::optional<Zip64End> {
    uint8_t bytes[Zip64EndRecord::kSize];
    if (!read(position, bytes, sizeof bytes)) return std::nullopt;
    const std::optional<Zip64EndRecord> record = Zip64EndRecord::Parse(bytes);
    if (!record || !accept(position, *record)) return std::nullopt;
    return Zip64End{position, *record};
  };
  std::optional<Zip64End> found;
  if (order == Zip64Places::kStoredFirst) {
    found = try_at(locator.zip64_end_offset);
    if (!found && adjacent_fits) found = try_at(adjacent);
  } else {
    if (adjacent_fits) found = try_at(adjacent);
    if (!found) found = try_at(locator.zip64_end_offset);
  }
  return found;
}

}  // namespace zipformat
