#include "zipdll/common/zip_reader.h"

#include <algorithm>
#include <cstring>

#include "zipdll/common/zip_format.h"

namespace zipdll {
namespace {

// Hosts whose zip tools store names in the local (UTF-8) encoding without saying so.
constexpr int kHostUnix = 3;
constexpr int kHostMacOsX = 19;

// The end record sits at most this far from the end: its own size plus the longest comment.
constexpr uint64_t kEndSearchSpan = kEndRecordSize + 0xFFFF;

// Reads a file front to back through a buffer, so that a directory of many small records costs few
// system calls and no memory in proportion to what the archive declares.
class SequentialReader {
 public:
  SequentialReader(platform::File& file, uint64_t start, uint64_t end)
      : file_(file), position_(start), end_(end), buffer_(64 * 1024) {}

  bool Read(void* out, size_t size) {
    uint8_t* target = static_cast<uint8_t*>(out);
    while (size > 0) {
      if (next_ == filled_ && !Fill()) return false;
      const size_t piece = std::min(size, filled_ - next_);
      std::memcpy(target, buffer_.data() + next_, piece);
      next_ += piece;
      target += piece;
      size -= piece;
    }
    return true;
  }

  bool ReadText(size_t size, std::string* out) {
    out->resize(size);
    return size == 0 || Read(out->data(), size);
  }

 private:
  bool Fill() {
    if (position_ >= end_) return false;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(buffer_.size(), end_ - position_));
    if (!file_.Seek(position_) || !file_.ReadExact(buffer_.data(), wanted)) return false;
    position_ += wanted;
    next_ = 0;
    filled_ = wanted;
    return true;
  }

  platform::File& file_;
  uint64_t position_;
  uint64_t end_;
  std::vector<uint8_t> buffer_;
  size_t next_ = 0, filled_ = 0;
};

bool ReadAt(platform::File& file, uint64_t position, void* out, size_t size) {
  return file.Seek(position) && file.ReadExact(out, size);
}

bool Fail(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

bool IsValidUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const uint8_t c = static_cast<uint8_t>(text[i]);
    size_t extra;
    if (c < 0x80) {
      extra = 0;
    } else if (c >= 0xC2 && c < 0xE0) {
      extra = 1;
    } else if (c >= 0xE0 && c < 0xF0) {
      extra = 2;
    } else if (c >= 0xF0 && c < 0xF5) {
      extra = 3;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

// Walks the blocks of an extra field, up to the first that runs past the field's end.
template <typename Visit>
void ForEachExtraBlock(const std::string& extra, Visit visit) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(extra.data());
  size_t at = 0;
  while (at + 4 <= extra.size()) {
    const uint16_t id = Get16(bytes + at);
    const uint16_t size = Get16(bytes + at + 2);
    if (at + 4 + size > extra.size()) return;
    visit(id, bytes + at + 4, size);
    at += 4 + size;
  }
}

// The zip64 extra field carries, in this order, each of these values whose 32-bit field is
// saturated.
bool ApplyZip64Extra(EntryInfo* entry, bool size_marked, bool compressed_marked,
                     bool offset_marked) {
  bool ok = !(size_marked || compressed_marked || offset_marked);
  ForEachExtraBlock(entry->extra, [&](uint16_t id, const uint8_t* data, uint16_t size) {
    if (id != kExtraZip64 || ok) return;
    size_t at = 0;
    auto take = [&](bool marked, uint64_t* value) {
      if (!marked) return true;
      if (at + 8 > size) return false;
      *value = Get64(data + at);
      at += 8;
      return true;
    };
    ok = take(size_marked, &entry->uncompressed_size) &&
         take(compressed_marked, &entry->compressed_size) &&
         take(offset_marked, &entry->local_header_offset);
  });
  return ok;
}

// Turns a stored name or comment into UTF-8.
std::string DecodeText(const std::string& raw, const EntryInfo& entry, bool use_unicode_extra) {
  if (entry.flags & kFlagUtf8) return raw;
  if (use_unicode_extra) {
    std::string unicode;
    ForEachExtraBlock(entry.extra, [&](uint16_t id, const uint8_t* data, uint16_t size) {
      // Version 1, then the CRC of the stored name it stands for, then the UTF-8 name.
      if (id != kExtraUnicodePath || size < 5 || data[0] != 1) return;
      if (Get32(data + 1) != Crc32(0, raw.data(), raw.size())) return;
      unicode.assign(reinterpret_cast<const char*>(data + 5), size - 5);
    });
    if (!unicode.empty() && IsValidUtf8(unicode)) return unicode;
  }
  const int host = entry.version_made_by >> 8;
  if ((host == kHostUnix || host == kHostMacOsX) && IsValidUtf8(raw)) return raw;
  return platform::OemToAnsi(raw);
}

// Finds the end record: the signature nearest the end whose comment fits in the file.
bool LocateEndRecord(platform::File& file, uint64_t file_size, uint64_t* position,
                     std::string* error) {
  if (file_size < kEndRecordSize) return Fail(error, "The file is too short to be a zip archive.");
  const uint64_t span = std::min(file_size, kEndSearchSpan);
  std::string tail(static_cast<size_t>(span), '\0');
  if (!ReadAt(file, file_size - span, tail.data(), tail.size())) {
    return Fail(error, "The end of the archive cannot be read.");
  }
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(tail.data());
  for (size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
    if (Get32(bytes + at) != kEndRecordSignature) continue;
    if (at + kEndRecordSize + Get16(bytes + at + 20) > tail.size()) continue;
    *position = file_size - span + at;
    return true;
  }
  return Fail(error, "No end of central directory record was found: this is not a zip archive.");
}

struct EndValues {
  uint64_t entries = 0, directory_size = 0, directory_offset = 0;
  uint64_t directory_end = 0;  // where the directory's last header ends: the record after it
};

bool ReadZip64End(platform::File& file, uint64_t end_position, EndValues* values,
                  std::string* error) {
  uint8_t locator[kZip64LocatorSize];
  const uint64_t locator_position = end_position - kZip64LocatorSize;
  if (!ReadAt(file, locator_position, locator, sizeof locator)) {
    return Fail(error, "The zip64 end record locator cannot be read.");
  }
  // Usually the zip64 record lies just in front of its locator; data in front of the archive
  // shifts it away from its stored position.
  const uint64_t stored = Get64(locator + 8);
  uint8_t record[kZip64EndRecordSize];
  uint64_t record_position = 0;
  bool found = false;
  // The caller made sure a whole zip64 record fits in front of the locator.
  const uint64_t latest = locator_position - kZip64EndRecordSize;
  for (uint64_t candidate : {latest, stored}) {
    if (candidate > latest) continue;
    if (ReadAt(file, candidate, record, sizeof record) &&
        Get32(record) == kZip64EndRecordSignature) {
      record_position = candidate;
      found = true;
      break;
    }
  }
  if (!found) return Fail(error, "The zip64 end of central directory record was not found.");
  if (Get32(record + 16) != 0 || Get32(record + 20) != 0) {
    return Fail(error, "Archives spread over several disks cannot be extracted.");
  }
  values->entries = Get64(record + 32);
  values->directory_size = Get64(record + 40);
  values->directory_offset = Get64(record + 48);
  values->directory_end = record_position;
  return true;
}

bool ReadCentralHeader(SequentialReader& reader, EntryInfo* entry, std::string* error) {
  uint8_t h[kCentralHeaderSize];
  if (!reader.Read(h, sizeof h)) return Fail(error, "The central directory is truncated.");
  if (Get32(h) != kCentralHeaderSignature) {
    return Fail(error, "The central directory is damaged (a header signature is wrong).");
  }
  entry->version_made_by = Get16(h + 4);
  entry->version_needed = Get16(h + 6);
  entry->flags = Get16(h + 8);
  entry->method = Get16(h + 10);
  entry->dos_time = Get16(h + 12);
  entry->dos_date = Get16(h + 14);
  entry->crc = Get32(h + 16);
  const uint32_t compressed = Get32(h + 20);
  const uint32_t uncompressed = Get32(h + 24);
  const uint16_t name_length = Get16(h + 28);
  const uint16_t extra_length = Get16(h + 30);
  const uint16_t comment_length = Get16(h + 32);
  entry->internal_attributes = Get16(h + 36);
  entry->external_attributes = Get32(h + 38);
  const uint32_t offset = Get32(h + 42);
  entry->compressed_size = compressed;
  entry->uncompressed_size = uncompressed;
  entry->local_header_offset = offset;
  std::string raw_name, raw_comment;
  if (!reader.ReadText(name_length, &raw_name) || !reader.ReadText(extra_length, &entry->extra) ||
      !reader.ReadText(comment_length, &raw_comment)) {
    return Fail(error, "The central directory is truncated.");
  }
  if (!ApplyZip64Extra(entry, uncompressed == kZip64Marker32, compressed == kZip64Marker32,
                       offset == kZip64Marker32)) {
    return Fail(error, "The zip64 extra field of \"" + platform::OemToAnsi(raw_name) +
                           "\" is missing or too short.");
  }
  entry->name = DecodeText(raw_name, *entry, true);
  entry->comment = DecodeText(raw_comment, *entry, false);
  return true;
}

}  // namespace

bool EntryInfo::IsFolder() const {
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

bool EntryInfo::IsEncrypted() const { return (flags & kFlagEncrypted) != 0; }

bool EntryInfo::IsAesEncrypted() const { return IsEncrypted() && method == kMethodAes; }

int32_t EntryInfo::DosDateTime() const {
  return static_cast<int32_t>((static_cast<uint32_t>(dos_date) << 16) | dos_time);
}

bool ReadDirectory(platform::File& file, Directory* directory, std::string* error) {
  *directory = Directory();
  uint64_t file_size = 0;
  if (!file.Size(&file_size)) return Fail(error, "The size of the archive cannot be read.");
  uint64_t end_position = 0;
  if (!LocateEndRecord(file, file_size, &end_position, error)) return false;
  uint8_t end[kEndRecordSize];
  if (!ReadAt(file, end_position, end, sizeof end)) {
    return Fail(error, "The end record cannot be read.");
  }
  directory->end_record_position = end_position;
  directory->comment.resize(Get16(end + 20));
  if (!directory->comment.empty() &&
      !ReadAt(file, end_position + kEndRecordSize, directory->comment.data(),
              directory->comment.size())) {
    return Fail(error, "The archive comment cannot be read.");
  }

  EndValues values;
  values.entries = Get16(end + 10);
  values.directory_size = Get32(end + 12);
  values.directory_offset = Get32(end + 16);
  values.directory_end = end_position;
  uint8_t locator_signature[4];
  const bool has_locator = end_position >= kZip64LocatorSize + kZip64EndRecordSize &&
                           ReadAt(file, end_position - kZip64LocatorSize, locator_signature, 4) &&
                           Get32(locator_signature) == kZip64LocatorSignature;
  if (has_locator) {
    if (!ReadZip64End(file, end_position, &values, error)) return false;
    directory->zip64 = true;
  } else if (Get16(end + 4) != 0 || Get16(end + 6) != 0) {
    return Fail(error, "Archives spread over several disks cannot be extracted.");
  }

  // The directory ends where the end record begins; its start, less its stored offset, is the
  // length of whatever was put in front of the archive.
  if (values.directory_size > values.directory_end) {
    return Fail(error, "The central directory is larger than the archive.");
  }
  directory->directory_start = values.directory_end - values.directory_size;
  if (values.directory_offset > directory->directory_start) {
    return Fail(error, "The central directory lies outside the archive.");
  }
  directory->archive_start = directory->directory_start - values.directory_offset;
  if (values.entries > values.directory_size / kCentralHeaderSize) {
    return Fail(error, "The archive declares more entries than its directory can hold.");
  }

  SequentialReader reader(file, directory->directory_start, values.directory_end);
  // Room for what is likely; a count that lies only costs what its headers really hold.
  directory->entries.reserve(static_cast<size_t>(std::min<uint64_t>(values.entries, 4096)));
  for (uint64_t i = 0; i < values.entries; ++i) {
    EntryInfo entry;
    if (!ReadCentralHeader(reader, &entry, error)) return false;
    if (entry.local_header_offset >= directory->directory_start - directory->archive_start) {
      return Fail(error, "The entry \"" + entry.name + "\" lies outside the archive.");
    }
    entry.local_header_offset += directory->archive_start;
    directory->sorted_offsets.push_back(entry.local_header_offset);
    directory->entries.push_back(std::move(entry));
  }
  std::sort(directory->sorted_offsets.begin(), directory->sorted_offsets.end());
  return true;
}

bool EntryDataOffset(platform::File& file, const Directory& directory, const EntryInfo& entry,
                     uint64_t* offset, std::string* error) {
  const std::string& name = entry.name;
  // The entry's data must end before the next entry's header (or the directory) begins; two
  // entries that share one header are overlapping by construction.
  const auto next = std::upper_bound(directory.sorted_offsets.begin(),
                                     directory.sorted_offsets.end(), entry.local_header_offset);
  const uint64_t limit = next == directory.sorted_offsets.end() ? directory.directory_start : *next;
  const auto same = std::equal_range(directory.sorted_offsets.begin(),
                                     directory.sorted_offsets.end(), entry.local_header_offset);
  if (same.second - same.first > 1) {
    return Fail(error, "The entry \"" + name + "\" shares its data with another entry.");
  }
  if (entry.local_header_offset + kLocalHeaderSize > limit) {
    return Fail(error, "The local header of \"" + name + "\" lies outside its space.");
  }
  uint8_t h[kLocalHeaderSize];
  if (!ReadAt(file, entry.local_header_offset, h, sizeof h)) {
    return Fail(error, "The local header of \"" + name + "\" cannot be read.");
  }
  if (Get32(h) != kLocalHeaderSignature) {
    return Fail(error, "The local header of \"" + name + "\" is damaged.");
  }
  const uint64_t start =
      entry.local_header_offset + kLocalHeaderSize + Get16(h + 26) + Get16(h + 28);
  if (start > limit || entry.compressed_size > limit - start) {
    return Fail(error, "The data of \"" + name + "\" runs outside its space in the archive.");
  }
  *offset = start;
  return true;
}

bool LocalHeaderAgrees(platform::File& file, const EntryInfo& entry, std::string* error) {
  uint8_t h[kLocalHeaderSize];
  if (!ReadAt(file, entry.local_header_offset, h, sizeof h)) {
    return Fail(error, "The local header of \"" + entry.name + "\" cannot be read.");
  }
  const bool plain = (entry.flags & kFlagUtf8) ||
                     std::all_of(entry.name.begin(), entry.name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::string name;
  if (plain) {
    name.resize(Get16(h + 26));
    if (!ReadAt(file, entry.local_header_offset + kLocalHeaderSize, name.data(), name.size())) {
      return Fail(error, "The local header of \"" + entry.name + "\" cannot be read.");
    }
  }
  const bool descriptor = entry.flags & kFlagDataDescriptor;
  if (Get16(h + 8) != entry.method || (!descriptor && Get32(h + 14) != entry.crc) ||
      (plain && name != entry.name)) {
    return Fail(error, "The local header of \"" + entry.name + "\" does not match the directory.");
  }
  return true;
}

}  // namespace zipdll
