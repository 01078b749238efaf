// Writes a zip archive front to back into an open file: local headers and data as the entries
// come, then the central directory and the end records, with zip64 records wherever a size, an
// offset or the entry count does not fit the classic fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "zipformat/zip_records.h"

namespace zipdll::add {

// What the central directory says of one entry.
struct CentralRecord {
  std::string name;  // as stored: UTF-8, "/" between folders
  uint16_t version_made_by = 0;
  uint16_t version_needed = 20;
  uint16_t flags = 0;
  uint16_t method = 0;
  int32_t dos_date_time = 0;  // date in the high word
  uint32_t crc = 0;
  uint64_t compressed_size = 0;  // with the encryption header
  uint64_t uncompressed_size = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  std::string extra;  // central extra fields other than zip64, which the writer makes itself
  std::string comment;
  uint64_t local_header_offset = 0;  // set by the writer
};

// The longest name, extra field run or comment a record's 16-bit lengths can announce.
using zipformat::kMaxFieldLength;

// Why the writer cannot take a record: its name, or its extra fields together with the zip64
// field the writer may add, longer than kMaxFieldLength. Empty when it fits.
std::string RecordMisfit(const CentralRecord& record);

class ZipWriter {
 public:
  // Small writes are gathered and go to out in large ones; Finish writes out the last of them.
  explicit ZipWriter(platform::File* out) : out_(out) {}

  // Writes the local header of a new entry whose sizes and CRC are known; its data follows
  // through Write. The record is kept for the central directory. A record that does not fit the
  // format (RecordMisfit) is refused: false with nothing written, and refused() true until the
  // next entry; the archive stays good for the entries that follow.
  bool BeginEntry(const CentralRecord& record);
  bool Write(const void* data, size_t size);

  // For an entry whose sizes and CRC are known only after its data: the local header gets a zip64
  // field, filled in with the rest by EndStreamedEntry, which returns to the end afterwards.
  bool BeginStreamedEntry(const CentralRecord& record);
  bool EndStreamedEntry(uint16_t method, uint32_t crc, uint64_t compressed_size,
                        uint64_t uncompressed_size);
  // Throws away everything written from position on (within the entry being streamed).
  bool RewindTo(uint64_t position);
  // Throws away the entry being streamed, header and all.
  bool AbandonStreamedEntry();

  // Writes a local header taken from another archive (fixed part, name and extra as they were
  // there, name and bit 11 replaced by the record's) followed by its data copied unchanged. Its
  // name came from a 16-bit length; extra fields that no longer fit are dropped by Finish.
  bool CopyEntry(const CentralRecord& record, const std::string& old_local_header,
                 platform::File& source, uint64_t data_offset, uint64_t data_length);

  // Central directory, zip64 end records when needed, end record with the comment (cut at
  // 65535 bytes).
  bool Finish(const std::string& comment);

  uint64_t Position() const { return position_; }
  // The last BeginEntry or BeginStreamedEntry failed on its record, not on the file.
  bool refused() const { return refused_; }

 private:
  bool Put(const zipformat::Bytes& bytes) { return Write(bytes.data(), bytes.size()); }
  // Writes the gathered bytes to out; false, then and from then on, when that fails.
  bool WriteGathered();
  // Clears or sets refused_ for a record about to be written; true when it may be.
  bool Admit(const CentralRecord& record);
  // The local header of a new entry; streamed ones always get a zip64 field for their sizes.
  bool BeginLocal(const CentralRecord& record, bool streamed);
  zipformat::Bytes LocalHeaderOf(const CentralRecord& record, bool zip64) const;

  // Each entry has a local header, its data and a central record: one system call for each of
  // them would cost more than the data of a small file takes to write.
  static constexpr size_t kGatherSize = 256 << 10;

  platform::File* out_;
  std::string gathered_;  // written after the bytes out has, up to position_
  bool failed_ = false;
  uint64_t position_ = 0;
  std::vector<CentralRecord> records_;
  bool refused_ = false;
};

// True when a name needs bit 11: it is UTF-8 and not plain ASCII.
bool NeedsUtf8Flag(const std::string& name);

// Removes the zip64 field from a run of extra fields; others are kept as they are.
std::string WithoutZip64Extra(const std::string& extra);

}  // namespace zipdll::add
