// Finding the records at the end of an archive: the end of central directory record, and the
// zip64 locator and zip64 end record in front of it. The component and the engine share these
// facts; what each of them accepts is its own policy (DESIGN.md): a reader that lists an archive
// for the user may take what a reader that extracts it refuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "zipformat/zip_records.h"

namespace zipformat {

// Where an end record stands in tail (the last bytes of a file): the offset, nearest the end
// first, of the first record with its signature that accept(offset, record) takes.
template <typename Accept>
std::optional<size_t> FindEndRecord(ByteSpan tail, Accept accept) {
  if (tail.size() < EndRecord::kSize) return std::nullopt;
  for (size_t at = tail.size() - EndRecord::kSize + 1; at-- > 0;) {
    const std::optional<EndRecord> record = EndRecord::Parse(tail.subspan(at));
    if (record && accept(at, *record)) return at;
  }
  return std::nullopt;
}

// True when the comment the record at offset of tail announces lies within tail.
inline bool CommentFits(ByteSpan tail, size_t offset, const EndRecord& record) {
  return offset + EndRecord::kSize + record.comment_length <= tail.size();
}

// Reads size bytes at position of the archive's file into out; false when it cannot.
using ReadAt = std::function<bool(uint64_t position, uint8_t* out, size_t size)>;

// The zip64 locator just in front of the end record at end_position, when one is there.
std::optional<Zip64EndLocator> ReadZip64Locator(const ReadAt& read, uint64_t end_position);

// The two places a zip64 end record is looked for: the position its locator stores, and just in
// front of the locator, where it lies when data put in front of the archive moved everything.
enum class Zip64Places { kStoredFirst, kAdjacentFirst };

struct Zip64End {
  uint64_t position = 0;
  Zip64EndRecord record;
};

// The zip64 end record that the locator at locator_position leads to: the first of its places,
// in the order asked, that holds a record with its signature which accept(position, record)
// takes. The place in front of the locator is tried only when a whole record fits there.
std::optional<Zip64End> FindZip64End(
    const ReadAt& read, uint64_t locator_position, const Zip64EndLocator& locator,
    Zip64Places order, const std::function<bool(uint64_t, const Zip64EndRecord&)>& accept);

// True when the record at position ends, by its size field, where the locator begins.
inline bool EndsAtLocator(uint64_t position, const Zip64EndRecord& record,
                          uint64_t locator_position) {
  return position + Zip64EndRecord::kSizeFieldEnd + record.record_size == locator_position;
}

}  // namespace zipformat
