#include "zipdll/add/zip_writer.h"

#include <algorithm>

#include "platform/name_encoding.h"
#include "zipformat/zip_records.h"

namespace zipdll::add {
namespace {

using zipformat::Bytes;
using zipformat::kFlagUtf8;
using zipformat::kVersionZip64;
using zipformat::kZip64Marker16;
using zipformat::kZip64Marker32;
using zipformat::LocalHeader;

constexpr uint64_t kMax32 = 0xFFFFFFFF;

uint32_t Clamp32(uint64_t value) { return value >= kMax32 ? kZip64Marker32 : uint32_t(value); }

uint16_t DosTime(int32_t dos_date_time) {
  return static_cast<uint16_t>(static_cast<uint32_t>(dos_date_time) & 0xFFFF);
}

uint16_t DosDate(int32_t dos_date_time) {
  return static_cast<uint16_t>(static_cast<uint32_t>(dos_date_time) >> 16);
}

void Append(Bytes* out, const std::string& text) {
  out->insert(out->end(), text.begin(), text.end());
}

}  // namespace

bool NeedsUtf8Flag(const std::string& name) {
  // Never over bytes that are no UTF-8: some tools then refuse the whole archive.
  return std::any_of(name.begin(), name.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) &&
         platform::IsUtf8(name);
}

std::string WithoutZip64Extra(const std::string& extra) {
  std::string kept;
  // A broken tail is dropped rather than copied.
  zipformat::ForEachExtraBlock(zipformat::AsBytes(extra), [&](const zipformat::ExtraBlock& block) {
    if (block.id != zipformat::Zip64Extra::kId) kept.append(block.whole.begin(), block.whole.end());
  });
  return kept;
}

std::string RecordMisfit(const CentralRecord& record) {
  // Lengths are 16 bits wide: a longer name would wrap and leave an archive no tool can read.
  if (record.name.size() > kMaxFieldLength) {
    return "its name is " + std::to_string(record.name.size()) + " bytes long, more than " +
           std::to_string(kMaxFieldLength) + " bytes an archive can hold";
  }
  if (WithoutZip64Extra(record.extra).size() + zipformat::Zip64Extra::kLargestSize >
      kMaxFieldLength) {
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

Bytes ZipWriter::LocalHeaderOf(const CentralRecord& record, bool zip64) const {
  // Both sizes, in a local header's zip64 field, whether or not each one fits.
  Bytes extra;
  if (zip64) {
    zipformat::Zip64Extra sizes;
    sizes.uncompressed_size = record.uncompressed_size;
    sizes.compressed_size = record.compressed_size;
    sizes.Append(&extra);
  }
  LocalHeader h;
  h.version_needed = record.version_needed;
  h.flags = record.flags;
  h.method = record.method;
  h.dos_time = DosTime(record.dos_date_time);
  h.dos_date = DosDate(record.dos_date_time);
  h.crc = record.crc;
  h.compressed_size = zip64 ? kZip64Marker32 : Clamp32(record.compressed_size);
  h.uncompressed_size = zip64 ? kZip64Marker32 : Clamp32(record.uncompressed_size);
  h.name_length = static_cast<uint16_t>(record.name.size());
  h.extra_length = static_cast<uint16_t>(extra.size());
  Bytes header;
  h.Append(&header);
  Append(&header, record.name);
  header.insert(header.end(), extra.begin(), extra.end());
  return header;
}

bool ZipWriter::BeginEntry(const CentralRecord& record) { return BeginLocal(record, false); }

bool ZipWriter::BeginStreamedEntry(const CentralRecord& record) { return BeginLocal(record, true); }

bool ZipWriter::BeginLocal(const CentralRecord& record, bool streamed) {
  if (!Admit(record)) return false;
  CentralRecord kept = record;
  kept.local_header_offset = position_;
  if (NeedsUtf8Flag(kept.name)) kept.flags |= kFlagUtf8;
  // The local header carries both sizes in a zip64 field when either one does not fit, and
  // always when they are not known yet.
  const bool zip64 = streamed || kept.compressed_size >= kMax32 || kept.uncompressed_size >= kMax32;
  if (zip64) kept.version_needed = std::max(kept.version_needed, kVersionZip64);
  if (!Put(LocalHeaderOf(kept, zip64))) return false;
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
  const Bytes header = LocalHeaderOf(record, true);
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
  std::optional<LocalHeader> h = LocalHeader::Parse(zipformat::AsBytes(old_local_header));
  if (!h || old_local_header.size() < LocalHeader::kSize + h->name_length + h->extra_length) {
    return false;
  }
  CentralRecord kept = record;
  kept.local_header_offset = position_;
  if (NeedsUtf8Flag(kept.name)) kept.flags |= kFlagUtf8;
  const size_t old_extra_start = LocalHeader::kSize + h->name_length;
  h->flags |= kept.flags & kFlagUtf8;
  h->name_length = static_cast<uint16_t>(kept.name.size());
  Bytes header;
  h->Append(&header);
  Append(&header, kept.name);
  header.insert(header.end(), old_local_header.begin() + old_extra_start,
                old_local_header.begin() + old_extra_start + h->extra_length);
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
    zipformat::Zip64Extra zip64;
    if (record.uncompressed_size >= kMax32) zip64.uncompressed_size = record.uncompressed_size;
    if (record.compressed_size >= kMax32) zip64.compressed_size = record.compressed_size;
    if (record.local_header_offset >= kMax32)
      zip64.local_header_offset = record.local_header_offset;
    Bytes extra;
    zip64.Append(&extra);
    const size_t zip64_size = extra.size();
    Append(&extra, WithoutZip64Extra(record.extra));
    if (extra.size() > kMaxFieldLength) extra.resize(zip64_size);
    const std::string comment_part = record.comment.substr(0, kMaxFieldLength);
    zipformat::CentralHeader h;
    h.version_made_by = record.version_made_by;
    h.version_needed = record.version_needed;
    if (zip64_size > 0) h.version_needed = std::max(h.version_needed, kVersionZip64);
    h.flags = record.flags;
    h.method = record.method;
    h.dos_time = DosTime(record.dos_date_time);
    h.dos_date = DosDate(record.dos_date_time);
    h.crc = record.crc;
    h.compressed_size = Clamp32(record.compressed_size);
    h.uncompressed_size = Clamp32(record.uncompressed_size);
    h.name_length = static_cast<uint16_t>(record.name.size());
    h.extra_length = static_cast<uint16_t>(extra.size());
    h.comment_length = static_cast<uint16_t>(comment_part.size());
    h.internal_attributes = record.internal_attributes;
    h.external_attributes = record.external_attributes;
    h.local_header_offset = Clamp32(record.local_header_offset);
    Bytes header;
    h.Append(&header);
    Append(&header, record.name);
    header.insert(header.end(), extra.begin(), extra.end());
    Append(&header, comment_part);
    if (!Put(header)) return false;
  }
  const uint64_t directory_size = position_ - directory_start;
  const uint64_t count = records_.size();
  const bool zip64 = count >= 0xFFFF || directory_size >= kMax32 || directory_start >= kMax32;
  Bytes tail;
  if (zip64) {
    zipformat::Zip64EndRecord end64;
    end64.version_made_by = kVersionZip64;
    end64.version_needed = kVersionZip64;
    end64.disk_entries = count;
    end64.total_entries = count;
    end64.directory_size = directory_size;
    end64.directory_offset = directory_start;
    end64.Append(&tail);
    zipformat::Zip64EndLocator locator;
    locator.zip64_end_offset = position_;
    locator.total_disks = 1;
    locator.Append(&tail);
  }
  const std::string comment_part = comment.substr(0, kMaxFieldLength);
  zipformat::EndRecord end;
  end.disk_entries = count >= 0xFFFF ? kZip64Marker16 : static_cast<uint16_t>(count);
  end.total_entries = end.disk_entries;
  end.directory_size = Clamp32(directory_size);
  end.directory_offset = Clamp32(directory_start);
  end.comment_length = static_cast<uint16_t>(comment_part.size());
  end.Append(&tail);
  Append(&tail, comment_part);
  return Put(tail) && WriteGathered();
}

}  // namespace zipdll::add
