#include "zipdll/common/zip_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/name_encoding.h"
#include "zipdll/common/zip_crypto.h"
#include "zipformat/byte_order.h"
#include "zipformat/end_records.h"
#include "zipformat/zip_records.h"

namespace zipdll {
namespace {

using zipformat::CentralHeader;
using zipformat::EndRecord;
using zipformat::LocalHeader;
using zipformat::Zip64EndLocator;
using zipformat::Zip64EndRecord;

// Hosts whose zip tools store names in the local (UTF-8) encoding without saying so.
constexpr int kHostUnix = 3;
constexpr int kHostMacOsX = 19;

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

  // Bytes not read yet before the end.
  uint64_t Left() const { return end_ - position_ + (filled_ - next_); }

  // Whether the next four bytes are signature, without taking them.
  bool NextIs(uint32_t signature) {
    while (filled_ - next_ < 4) {
      // Keeps what is left of the buffer in front of what comes next.
      std::memmove(buffer_.data(), buffer_.data() + next_, filled_ - next_);
      filled_ -= next_;
      next_ = 0;
      if (!Fill(filled_)) return false;
    }
    return zipformat::Get32(buffer_.data() + next_) == signature;
  }

 private:
  // Fills the buffer from its byte kept on, after the kept bytes before it.
  bool Fill(size_t kept = 0) {
    if (position_ >= end_) return false;
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>(buffer_.size() - kept, end_ - position_));
    if (!file_.Seek(position_) || !file_.ReadExact(buffer_.data() + kept, wanted)) return false;
    position_ += wanted;
    next_ = 0;
    filled_ = kept + wanted;
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

// The zip64 extra field carries, in this order, each of these values whose 32-bit field is
// saturated. The first zip64 block that holds all of them counts.
bool ApplyZip64Extra(EntryInfo* entry, bool size_marked, bool compressed_marked,
                     bool offset_marked) {
  if (!(size_marked || compressed_marked || offset_marked)) return true;
  std::optional<zipformat::Zip64Extra> values;
  zipformat::ForEachExtraBlock(zipformat::AsBytes(entry->extra), [&](const auto& block) {
    if (block.id != zipformat::Zip64Extra::kId || values) return;
    values =
        zipformat::Zip64Extra::Parse(block.data, size_marked, compressed_marked, offset_marked);
  });
  if (!values) return false;
  entry->uncompressed_size = values->uncompressed_size.value_or(entry->uncompressed_size);
  entry->compressed_size = values->compressed_size.value_or(entry->compressed_size);
  entry->local_header_offset = values->local_header_offset.value_or(entry->local_header_offset);
  return true;
}

// Turns a stored name or comment into UTF-8.
std::string DecodeText(const std::string& raw, const EntryInfo& entry, bool use_unicode_extra) {
  if (entry.flags & zipformat::kFlagUtf8) return raw;
  if (use_unicode_extra) {
    std::string unicode;
    zipformat::ForEachExtraBlock(zipformat::AsBytes(entry.extra), [&](const auto& block) {
      if (block.id != zipformat::UnicodePathExtra::kId) return;
      const auto path = zipformat::UnicodePathExtra::Parse(block.data);
      // Only while it stands for the stored name: a tool that renamed the entry left it behind.
      if (!path || path->version != zipformat::UnicodePathExtra::kVersion ||
          path->name_crc != Crc32(0, raw.data(), raw.size())) {
        return;
      }
      unicode.assign(path->name.begin(), path->name.end());
    });
    if (!unicode.empty() && platform::IsUtf8(unicode)) return unicode;
  }
  const int host = entry.version_made_by >> 8;
  if ((host == kHostUnix || host == kHostMacOsX) && platform::IsUtf8(raw)) return raw;
  return platform::OemToAnsi(raw);
}

// Finds the end record: the signature nearest the end whose comment fits in the file.
bool LocateEndRecord(platform::File& file, uint64_t file_size, uint64_t* position,
                     EndRecord* record, std::string* error) {
  if (file_size < EndRecord::kSize) {
    return Fail(error, "The file is too short to be a zip archive.");
  }
  const uint64_t span = std::min(file_size, EndRecord::kFarthestFromEnd);
  std::vector<uint8_t> tail(static_cast<size_t>(span));
  if (!ReadAt(file, file_size - span, tail.data(), tail.size())) {
    return Fail(error, "The end of the archive cannot be read.");
  }
  const zipformat::ByteSpan bytes = tail;
  const std::optional<size_t> at =
      zipformat::FindEndRecord(bytes, [&](size_t offset, const EndRecord& candidate) {
        if (!zipformat::CommentFits(bytes, offset, candidate)) return false;
        *record = candidate;
        return true;
      });
  if (!at) {
    return Fail(error, "No end of central directory record was found: this is not a zip archive.");
  }
  *position = file_size - span + *at;
  return true;
}

struct EndValues {
  uint64_t entries = 0, directory_size = 0, directory_offset = 0;
  uint64_t directory_end = 0;  // where the directory's last header ends: the record after it
};

zipformat::ReadAt ReaderOf(platform::File& file) {
  return [&file](uint64_t position, uint8_t* out, size_t size) {
    return ReadAt(file, position, out, size);
  };
}

bool ReadZip64End(platform::File& file, uint64_t locator_position, const Zip64EndLocator& locator,
                  EndValues* values, std::string* error) {
  // Usually the zip64 record lies just in front of its locator; data in front of the archive
  // shifts it away from its stored position. Either way the whole record lies in front of the
  // locator (the caller made sure one fits there).
  const std::optional<zipformat::Zip64End> found = zipformat::FindZip64End(
      ReaderOf(file), locator_position, locator, zipformat::Zip64Places::kAdjacentFirst,
      [locator_position](uint64_t position, const Zip64EndRecord&) {
        return position <= locator_position - Zip64EndRecord::kSize;
      });
  if (!found) return Fail(error, "The zip64 end of central directory record was not found.");
  if (found->record.this_disk != 0 || found->record.directory_disk != 0) {
    return Fail(error, "Archives spread over several disks cannot be extracted.");
  }
  values->entries = found->record.total_entries;
  values->directory_size = found->record.directory_size;
  values->directory_offset = found->record.directory_offset;
  values->directory_end = found->position;
  return true;
}

bool ReadCentralHeader(SequentialReader& reader, EntryInfo* entry, std::string* error) {
  uint8_t bytes[CentralHeader::kSize];
  if (!reader.Read(bytes, sizeof bytes)) return Fail(error, "The central directory is truncated.");
  const std::optional<CentralHeader> h = CentralHeader::Parse(bytes);
  if (!h) return Fail(error, "The central directory is damaged (a header signature is wrong).");
  entry->version_made_by = h->version_made_by;
  entry->version_needed = h->version_needed;
  entry->flags = h->flags;
  entry->method = h->method;
  entry->dos_time = h->dos_time;
  entry->dos_date = h->dos_date;
  entry->crc = h->crc;
  entry->internal_attributes = h->internal_attributes;
  entry->external_attributes = h->external_attributes;
  entry->compressed_size = h->compressed_size;
  entry->uncompressed_size = h->uncompressed_size;
  entry->local_header_offset = h->local_header_offset;
  std::string raw_name, raw_comment;
  if (!reader.ReadText(h->name_length, &raw_name) ||
      !reader.ReadText(h->extra_length, &entry->extra) ||
      !reader.ReadText(h->comment_length, &raw_comment)) {
    return Fail(error, "The central directory is truncated.");
  }
  constexpr uint32_t kMarker = zipformat::kZip64Marker32;
  if (!ApplyZip64Extra(entry, h->uncompressed_size == kMarker, h->compressed_size == kMarker,
                       h->local_header_offset == kMarker)) {
    return Fail(error, "The zip64 extra field of \"" + platform::OemToAnsi(raw_name) +
                           "\" is missing or too short.");
  }
  entry->name = DecodeText(raw_name, *entry, true);
  entry->comment = DecodeText(raw_comment, *entry, false);
  return true;
}

// The local header of an entry, read at its place; false with a message when it cannot be read
// or is no local header.
bool ReadLocalHeader(platform::File& file, const EntryInfo& entry, LocalHeader* header,
                     std::string* error) {
  uint8_t bytes[LocalHeader::kSize];
  if (!ReadAt(file, entry.local_header_offset, bytes, sizeof bytes)) {
    return Fail(error, "The local header of \"" + entry.name + "\" cannot be read.");
  }
  const std::optional<LocalHeader> parsed = LocalHeader::Parse(bytes);
  if (!parsed) return Fail(error, "The local header of \"" + entry.name + "\" is damaged.");
  *header = *parsed;
  return true;
}

}  // namespace

bool EntryInfo::IsFolder() const {
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

bool EntryInfo::IsEncrypted() const { return (flags & zipformat::kFlagEncrypted) != 0; }

bool EntryInfo::IsAesEncrypted() const { return IsEncrypted() && method == zipformat::kMethodAes; }

int32_t EntryInfo::DosDateTime() const {
  return static_cast<int32_t>((static_cast<uint32_t>(dos_date) << 16) | dos_time);
}

bool ReadDirectory(platform::File& file, Directory* directory, std::string* error) {
  *directory = Directory();
  uint64_t file_size = 0;
  if (!file.Size(&file_size)) return Fail(error, "The size of the archive cannot be read.");
  uint64_t end_position = 0;
  EndRecord end;
  if (!LocateEndRecord(file, file_size, &end_position, &end, error)) return false;
  directory->end_record_position = end_position;
  directory->comment.resize(end.comment_length);
  if (!directory->comment.empty() &&
      !ReadAt(file, end_position + EndRecord::kSize, directory->comment.data(),
              directory->comment.size())) {
    return Fail(error, "The archive comment cannot be read.");
  }

  EndValues values;
  values.entries = end.total_entries;
  values.directory_size = end.directory_size;
  values.directory_offset = end.directory_offset;
  values.directory_end = end_position;
  // A locator with no room for a zip64 record in front of it is taken for archive data.
  std::optional<Zip64EndLocator> locator;
  if (end_position >= Zip64EndLocator::kSize + Zip64EndRecord::kSize) {
    locator = zipformat::ReadZip64Locator(ReaderOf(file), end_position);
  }
  if (locator) {
    if (!ReadZip64End(file, end_position - Zip64EndLocator::kSize, *locator, &values, error)) {
      return false;
    }
    directory->zip64 = true;
  } else if (end.this_disk != 0 || end.directory_disk != 0) {
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
  if (values.entries > values.directory_size / CentralHeader::kSize) {
    return Fail(error, "The archive declares more entries than its directory can hold.");
  }

  SequentialReader reader(file, directory->directory_start, values.directory_end);
  // Room for what is likely; a count that lies only costs what its headers really hold.
  directory->entries.reserve(static_cast<size_t>(std::min<uint64_t>(values.entries, 4096)));
  // Writers of the 16-bit end record alone store the count of a larger directory modulo 65536:
  // the headers then go on past the count, and are read on while the directory has more of them,
  // as other tools do. What cannot be so reconciled with the count is refused, never cut short.
  const auto more_headers = [&] {
    return !directory->zip64 && reader.Left() > 0 && reader.NextIs(CentralHeader::kSignature);
  };
  uint64_t count = 0;
  for (; count < values.entries || more_headers(); ++count) {
    EntryInfo entry;
    if (!ReadCentralHeader(reader, &entry, error)) return false;
    if (entry.local_header_offset >= directory->directory_start - directory->archive_start) {
      return Fail(error, "The entry \"" + entry.name + "\" lies outside the archive.");
    }
    entry.local_header_offset += directory->archive_start;
    directory->sorted_offsets.push_back(entry.local_header_offset);
    directory->entries.push_back(std::move(entry));
  }
  if (count != values.entries && (count % 0x10000 != values.entries || reader.Left() > 0)) {
    return Fail(error, "The central directory holds " + std::to_string(count) +
                           " entries where the end record counts " +
                           std::to_string(values.entries) + ": the archive is damaged.");
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
  if (entry.local_header_offset + LocalHeader::kSize > limit) {
    return Fail(error, "The local header of \"" + name + "\" lies outside its space.");
  }
  LocalHeader h;
  if (!ReadLocalHeader(file, entry, &h, error)) return false;
  const uint64_t start =
      entry.local_header_offset + LocalHeader::kSize + h.name_length + h.extra_length;
  if (start > limit || entry.compressed_size > limit - start) {
    return Fail(error, "The data of \"" + name + "\" runs outside its space in the archive.");
  }
  *offset = start;
  return true;
}

bool LocalHeaderAgrees(platform::File& file, const EntryInfo& entry, std::string* error) {
  LocalHeader h;
  if (!ReadLocalHeader(file, entry, &h, error)) return false;
  const bool plain = (entry.flags & zipformat::kFlagUtf8) ||
                     std::all_of(entry.name.begin(), entry.name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::string name;
  if (plain) {
    name.resize(h.name_length);
    if (!ReadAt(file, entry.local_header_offset + LocalHeader::kSize, name.data(), name.size())) {
      return Fail(error, "The local header of \"" + entry.name + "\" cannot be read.");
    }
  }
  const bool descriptor = entry.flags & zipformat::kFlagDataDescriptor;
  if (h.method != entry.method || (!descriptor && h.crc != entry.crc) ||
      (plain && name != entry.name)) {
    return Fail(error, "The local header of \"" + entry.name + "\" does not match the directory.");
  }
  return true;
}

}  // namespace zipdll
