#include "zipdll/add/zip_writer.h"

#include <algorithm>

#include "zipdll/common/zip_format.h"

namespace zipdll::add {
namespace {

constexpr uint64_t kMax32 = 0xFFFFFFFF;
constexpr uint16_t kVersionZip64 = 45;
// The central zip64 field at its largest: header, both sizes and the offset.
constexpr size_t kMaxZip64Extra = 4 + 3 * 8;

uint32_t Clamp32(uint64_t value) { return value >= kMax32 ? kZip64Marker32 : uint32_t(value); }

}  // namespace

bool NeedsUtf8Flag(const std::string& name) {
  return std::any_of(name.begin(), name.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string WithoutZip64Extra(const std::string& extra) {
  std::string kept;
  size_t at = 0;
  while (at + 4 <= extra.size()) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(extra.data() + at);
    const size_t length = Get16(p + 2);
    if (at + 4 + length > extra.size()) break;  // a broken tail is dropped rather than copied
    if (Get16(p) != kExtraZip64) kept.append(extra, at, 4 + length);
    at += 4 + length;
  }
  return kept;
}

std::string RecordMisfit(const CentralRecord& record) {
  // Lengths are 16 bits wide: a longer name would wrap and leave an archive no tool can read.
  if (record.name.size() > kMaxFieldLength) {
    return "its name is " + std::to_string(record.name.size()) + " bytes long, more than " +
           std::to_string(kMaxFieldLength) + " bytes an archive can hold";
  }
  if (WithoutZip64Extra(record.extra).size() + kMaxZip64Extra > kMaxFieldLength) {
    return "its extra fields are longer than an archive can hold";
  }
  return std::string();
}

bool ZipWriter::Admit(const CentralRecord& record) {
  refused_ = !RecordMisfit(record).empty();
  return !refused_;
}

bool ZipWriter::Write(const void* data, size_t size) {
  if (failed_) return false;
  if (size == 0) return true;
  if (gathered_.size() + size > kGatherSize && !WriteGathered()) return false;
  if (size >= kGatherSize) {
    if (!out_->Write(data, size)) {
      failed_ = true;
      return false;
    }
  } else {
    gathered_.append(static_cast<const char*>(data), size);
  }
  position_ += size;
  return true;
}

bool ZipWriter::WriteGathered() {
  if (failed_) return false;
  if (gathered_.empty()) return true;
  failed_ = !out_->Write(gathered_.data(), gathered_.size());
  gathered_.clear();
  return !failed_;
}

std::string ZipWriter::LocalHeader(const CentralRecord& record, bool zip64) const {
  std::string header;
  Put32(&header, kLocalHeaderSignature);
  Put16(&header, record.version_needed);
  Put16(&header, record.flags);
  Put16(&header, record.method);
  Put16(&header, static_cast<uint16_t>(static_cast<uint32_t>(record.dos_date_time) & 0xFFFF));
  Put16(&header, static_cast<uint16_t>(static_cast<uint32_t>(record.dos_date_time) >> 16));
  Put32(&header, record.crc);
  Put32(&header, zip64 ? kZip64Marker32 : Clamp32(record.compressed_size));
  Put32(&header, zip64 ? kZip64Marker32 : Clamp32(record.uncompressed_size));
  Put16(&header, static_cast<uint16_t>(record.name.size()));
  Put16(&header, static_cast<uint16_t>(zip64 ? 20 : 0));
  header += record.name;
  if (zip64) {
    Put16(&header, kExtraZip64);
    Put16(&header, 16);
    Put64(&header, record.uncompressed_size);
    Put64(&header, record.compressed_size);
  }
  return header;
}

bool ZipWriter::BeginEntry(const CentralRecord& record) {
  if (!Admit(record)) return false;
  CentralRecord kept = record;
  kept.local_header_offset = position_;
  if (NeedsUtf8Flag(kept.name)) kept.flags |= kFlagUtf8;
  // The local header carries both sizes in a zip64 field when either one does not fit.
  const bool zip64 = kept.compressed_size >= kMax32 || kept.uncompressed_size >= kMax32;
  if (zip64) kept.version_needed = std::max(kept.version_needed, kVersionZip64);
  if (!Put(LocalHeader(kept, zip64))) return false;
  records_.push_back(std::move(kept));
  return true;
}

bool ZipWriter::BeginStreamedEntry(const CentralRecord& record) {
  if (!Admit(record)) return false;
  CentralRecord kept = record;
  kept.local_header_offset = position_;
  if (NeedsUtf8Flag(kept.name)) kept.flags |= kFlagUtf8;
  kept.version_needed = std::max(kept.version_needed, kVersionZip64);
  if (!Put(LocalHeader(kept, true))) return false;
  records_.push_back(std::move(kept));
  return true;
}

bool ZipWriter::EndStreamedEntry(uint16_t method, uint32_t crc, uint64_t compressed_size,
                                 uint64_t uncompressed_size) {
  if (records_.empty()) return false;
  CentralRecord& record = records_.back();
  record.method = method;
  record.crc = crc;
  record.compressed_size = compressed_size;
  record.uncompressed_size = uncompressed_size;
  const std::string header = LocalHeader(record, true);
  const uint64_t end = position_;
  return WriteGathered() && out_->Seek(record.local_header_offset) &&
         out_->Write(header.data(), header.size()) && out_->Seek(end);
}

bool ZipWriter::AbandonStreamedEntry() {
  if (records_.empty() || !RewindTo(records_.back().local_header_offset)) return false;
  records_.pop_back();
  return true;
}

bool ZipWriter::RewindTo(uint64_t position) {
  if (position > position_ || !WriteGathered() || !out_->Seek(position) || !out_->Truncate()) {
    return false;
  }
  position_ = position;
  return true;
}

bool ZipWriter::CopyEntry(const CentralRecord& record, const std::string& old_local_header,
                          platform::File& source, uint64_t data_offset, uint64_t data_length) {
  if (old_local_header.size() < kLocalHeaderSize) return false;
  const uint8_t* old = reinterpret_cast<const uint8_t*>(old_local_header.data());
  const size_t old_name_length = Get16(old + 26);
  const size_t old_extra_length = Get16(old + 28);
  if (old_local_header.size() < kLocalHeaderSize + old_name_length + old_extra_length) {
    return false;
  }
  CentralRecord kept = record;
  kept.local_header_offset = position_;
  if (NeedsUtf8Flag(kept.name)) kept.flags |= kFlagUtf8;
  std::string header = old_local_header.substr(0, 6);
  Put16(&header, static_cast<uint16_t>(Get16(old + 6) | (kept.flags & kFlagUtf8)));
  header.append(old_local_header, 8, 18);
  Put16(&header, static_cast<uint16_t>(kept.name.size()));
  Put16(&header, static_cast<uint16_t>(old_extra_length));
  header += kept.name;
  header.append(old_local_header, kLocalHeaderSize + old_name_length, old_extra_length);
  if (!source.Seek(data_offset) || !Put(header)) return false;
  std::string buffer(1 << 20, '\0');
  while (data_length > 0) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(data_length, buffer.size()));
    if (!source.ReadExact(buffer.data(), piece) || !Write(buffer.data(), piece)) return false;
    data_length -= piece;
  }
  records_.push_back(std::move(kept));
  return true;
}

bool ZipWriter::Finish(const std::string& comment) {
  const uint64_t directory_start = position_;
  for (const CentralRecord& record : records_) {
    std::string zip64;
    if (record.uncompressed_size >= kMax32) Put64(&zip64, record.uncompressed_size);
    if (record.compressed_size >= kMax32) Put64(&zip64, record.compressed_size);
    if (record.local_header_offset >= kMax32) Put64(&zip64, record.local_header_offset);
    std::string extra;
    if (!zip64.empty()) {
      Put16(&extra, kExtraZip64);
      Put16(&extra, static_cast<uint16_t>(zip64.size()));
      extra += zip64;
    }
    extra += WithoutZip64Extra(record.extra);
    if (extra.size() > 0xFFFF) extra.resize(zip64.empty() ? 0 : 4 + zip64.size());
    const std::string comment_part = record.comment.substr(0, 0xFFFF);
    uint16_t version_needed = record.version_needed;
    if (!zip64.empty()) version_needed = std::max(version_needed, kVersionZip64);
    std::string header;
    Put32(&header, kCentralHeaderSignature);
    Put16(&header, record.version_made_by);
    Put16(&header, version_needed);
    Put16(&header, record.flags);
    Put16(&header, record.method);
    Put16(&header, static_cast<uint16_t>(static_cast<uint32_t>(record.dos_date_time) & 0xFFFF));
    Put16(&header, static_cast<uint16_t>(static_cast<uint32_t>(record.dos_date_time) >> 16));
    Put32(&header, record.crc);
    Put32(&header, Clamp32(record.compressed_size));
    Put32(&header, Clamp32(record.uncompressed_size));
    Put16(&header, static_cast<uint16_t>(record.name.size()));
    Put16(&header, static_cast<uint16_t>(extra.size()));
    Put16(&header, static_cast<uint16_t>(comment_part.size()));
    Put16(&header, 0);  // disk number start
    Put16(&header, record.internal_attributes);
    Put32(&header, record.external_attributes);
    Put32(&header, Clamp32(record.local_header_offset));
    header += record.name;
    header += extra;
    header += comment_part;
    if (!Put(header)) return false;
  }
  const uint64_t directory_size = position_ - directory_start;
  const uint64_t count = records_.size();
  const bool zip64 = count >= 0xFFFF || directory_size >= kMax32 || directory_start >= kMax32;
  std::string tail;
  if (zip64) {
    const uint64_t zip64_end_position = position_;
    Put32(&tail, kZip64EndRecordSignature);
    Put64(&tail, kZip64EndRecordSize - 12);
    Put16(&tail, kVersionZip64);
    Put16(&tail, kVersionZip64);
    Put32(&tail, 0);  // this disk
    Put32(&tail, 0);  // disk of the directory
    Put64(&tail, count);
    Put64(&tail, count);
    Put64(&tail, directory_size);
    Put64(&tail, directory_start);
    Put32(&tail, kZip64LocatorSignature);
    Put32(&tail, 0);
    Put64(&tail, zip64_end_position);
    Put32(&tail, 1);  // total disks
  }
  const std::string comment_part = comment.substr(0, 0xFFFF);
  Put32(&tail, kEndRecordSignature);
  Put16(&tail, 0);
  Put16(&tail, 0);
  Put16(&tail, count >= 0xFFFF ? kZip64Marker16 : static_cast<uint16_t>(count));
  Put16(&tail, count >= 0xFFFF ? kZip64Marker16 : static_cast<uint16_t>(count));
  Put32(&tail, Clamp32(directory_size));
  Put32(&tail, Clamp32(directory_start));
  Put16(&tail, static_cast<uint16_t>(comment_part.size()));
  tail += comment_part;
  return Put(tail) && WriteGathered();
}

}  // namespace zipdll::add
