// The records of a zip archive, one small struct each: its signature and fixed size, a
// bounds-checked Parse from the bytes of a file and an Append of its fixed part to a buffer. The
// names, extra fields and comments that follow the fixed parts are the caller's to read and
// write; the records hold their lengths. Parse never trusts its input: fewer bytes than the
// record needs, or a wrong signature, give no record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace zipformat {

using ByteSpan = std::span<const uint8_t>;
using Bytes = std::vector<uint8_t>;

inline ByteSpan AsBytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// General-purpose flag bits.
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr uint16_t kFlagUtf8 = 0x0800;

// Compression methods.
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kMethodAes = 99;  // WinZip AES: the real method is in its extra field

// Version needed to extract an entry that has zip64 fields.
inline constexpr uint16_t kVersionZip64 = 45;

// Extra field ids other than those with a struct below.
inline constexpr uint16_t kExtraAes = 0x9901;  // WinZip AES: version, vendor, strength, method

// Value of a 32-bit (16-bit) field whose real value is in the zip64 records.
inline constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
inline constexpr uint16_t kZip64Marker16 = 0xFFFF;

// Size of the header in front of data encrypted the traditional way.
inline constexpr size_t kEncryptionHeaderSize = 12;

// The longest name, extra field run or comment a 16-bit length can announce.
inline constexpr size_t kMaxFieldLength = 0xFFFF;

// End of central directory record: the last record of every archive, followed by its comment.
struct EndRecord {
  static constexpr uint32_t kSignature = 0x06054b50;
  static constexpr size_t kSize = 22;
  // The farthest from the end of a file the record can begin: itself and the longest comment.
  static constexpr uint64_t kFarthestFromEnd = kSize + kMaxFieldLength;

  uint16_t this_disk = 0;
  uint16_t directory_disk = 0;  // the disk the central directory starts on
  uint16_t disk_entries = 0;    // entries on this disk
  uint16_t total_entries = 0;
  uint32_t directory_size = 0;
  uint32_t directory_offset = 0;  // from the start of the archive
  uint16_t comment_length = 0;

  static std::optional<EndRecord> Parse(ByteSpan bytes);
  void Append(Bytes* out) const;
};

// Zip64 end of central directory locator: just in front of the end record, it points at the
// zip64 end record.
struct Zip64EndLocator {
  static constexpr uint32_t kSignature = 0x07064b50;
  static constexpr size_t kSize = 20;

  uint32_t zip64_end_disk = 0;
  uint64_t zip64_end_offset = 0;  // from the start of the archive
  uint32_t total_disks = 1;

  static std::optional<Zip64EndLocator> Parse(ByteSpan bytes);
  void Append(Bytes* out) const;
};

// Zip64 end of central directory record: the counts and positions that do not fit the end
// record's fields.
struct Zip64EndRecord {
  static constexpr uint32_t kSignature = 0x06064b50;
  static constexpr size_t kSize = 56;
  // The size field counts what follows it: the bytes after the first 12.
  static constexpr size_t kSizeFieldEnd = 12;

  uint64_t record_size = kSize - kSizeFieldEnd;
  uint16_t version_made_by = 0;
  uint16_t version_needed = 0;
  uint32_t this_disk = 0;
  uint32_t directory_disk = 0;
  uint64_t disk_entries = 0;
  uint64_t total_entries = 0;
  uint64_t directory_size = 0;
  uint64_t directory_offset = 0;

  static std::optional<Zip64EndRecord> Parse(ByteSpan bytes);
  void Append(Bytes* out) const;
};

// Central directory header, followed by the name, the extra fields and the comment.
struct CentralHeader {
  static constexpr uint32_t kSignature = 0x02014b50;
  static constexpr size_t kSize = 46;

  uint16_t version_made_by = 0;  // host system in the high byte
  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dos_time = 0;
  uint16_t dos_date = 0;
  uint32_t crc = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;
  uint16_t comment_length = 0;
  uint16_t disk_start = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  uint32_t local_header_offset = 0;

  uint8_t HostSystem() const { return static_cast<uint8_t>(version_made_by >> 8); }
  static std::optional<CentralHeader> Parse(ByteSpan bytes);
  void Append(Bytes* out) const;
};

// Local file header, in front of each entry's data, followed by the name and the extra fields.
struct LocalHeader {
  static constexpr uint32_t kSignature = 0x04034b50;
  static constexpr size_t kSize = 30;

  uint16_t version_needed = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dos_time = 0;
  uint16_t dos_date = 0;
  uint32_t crc = 0;
  uint32_t compressed_size = 0;
  uint32_t uncompressed_size = 0;
  uint16_t name_length = 0;
  uint16_t extra_length = 0;

  static std::optional<LocalHeader> Parse(ByteSpan bytes);
  void Append(Bytes* out) const;
};

// Data descriptor: after the data of an entry whose flags have kFlagDataDescriptor, when its
// sizes and CRC were not known as its local header was written. The signature is optional; the
// sizes are 8 bytes wide in a zip64 entry.
struct DataDescriptor {
  static constexpr uint32_t kSignature = 0x08074b50;
  // The longest: signature, CRC and two 8-byte sizes.
  static constexpr size_t kLargestSize = 24;

  uint32_t crc = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;

  // With or without the signature in front.
  static std::optional<DataDescriptor> Parse(ByteSpan bytes, bool zip64);
  // With the signature.
  void Append(Bytes* out, bool zip64) const;
};

// One block of an extra field run: a 2-byte id, a 2-byte length and that many bytes.
struct ExtraBlock {
  uint16_t id = 0;
  ByteSpan data;   // what the length counts
  ByteSpan whole;  // header included
};

// Calls visit(block) for each block of a run of extra fields, up to the first that runs past the
// end of the run (what follows is no block).
template <typename Visit>
void ForEachExtraBlock(ByteSpan extra, Visit visit) {
  size_t at = 0;
  while (at + 4 <= extra.size()) {
    const uint16_t id = static_cast<uint16_t>(extra[at] | (extra[at + 1] << 8));
    const size_t size = static_cast<size_t>(extra[at + 2] | (extra[at + 3] << 8));
    if (at + 4 + size > extra.size()) return;
    visit(ExtraBlock{id, extra.subspan(at + 4, size), extra.subspan(at, 4 + size)});
    at += 4 + size;
  }
}

// Zip64 extended information: the values whose 32-bit fields hold kZip64Marker32, in this order,
// each present only when its field is saturated.
struct Zip64Extra {
  static constexpr uint16_t kId = 0x0001;
  // The block at its largest as written here: header, both sizes and the offset.
  static constexpr size_t kLargestSize = 4 + 3 * 8;

  std::optional<uint64_t> uncompressed_size;
  std::optional<uint64_t> compressed_size;
  std::optional<uint64_t> local_header_offset;

  // Takes the values asked for from a block's data; none when it is too short for them.
  static std::optional<Zip64Extra> Parse(ByteSpan data, bool uncompressed, bool compressed,
                                         bool offset);
  // The whole block, header included, with the values present; nothing when none is.
  void Append(Bytes* out) const;
};

// Info-ZIP Unicode path: the UTF-8 name of an entry whose stored name is in a code page, valid
// while the CRC of the stored name still matches.
struct UnicodePathExtra {
  static constexpr uint16_t kId = 0x7075;
  static constexpr uint8_t kVersion = 1;

  uint8_t version = kVersion;
  uint32_t name_crc = 0;  // of the stored name
  ByteSpan name;          // UTF-8; a view into the parsed bytes

  static std::optional<UnicodePathExtra> Parse(ByteSpan data);
  void Append(Bytes* out) const;
};

}  // namespace zipformat
