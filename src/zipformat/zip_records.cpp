#include "zipformat/zip_records.h"

#include "zipformat/byte_order.h"

namespace zipformat {
namespace {

// Takes the fields of a record front to back; the caller has made sure they are all there.
class FieldReader {
 public:
  explicit FieldReader(const uint8_t* bytes) : at_(bytes) {}
  uint16_t Take16() { return Advance(Get16(at_), 2); }
  uint32_t Take32() { return Advance(Get32(at_), 4); }
  uint64_t Take64() { return Advance(Get64(at_), 8); }

 private:
  template <typename T>
  T Advance(T value, size_t size) {
    at_ += size;
    return value;
  }
  const uint8_t* at_;
};

// A reader past the signature of a record of size bytes, or none when bytes cannot hold it or
// begin otherwise.
std::optional<FieldReader> Fields(ByteSpan bytes, size_t size, uint32_t signature) {
  if (bytes.size() < size || Get32(bytes.data()) != signature) return std::nullopt;
  return FieldReader(bytes.data() + 4);
}

}  // namespace

std::optional<EndRecord> EndRecord::Parse(ByteSpan bytes) {
  std::optional<FieldReader> in = Fields(bytes, kSize, kSignature);
  if (!in) return std::nullopt;
  EndRecord r;
  r.this_disk = in->Take16();
  r.directory_disk = in->Take16();
  r.disk_entries = in->Take16();
  r.total_entries = in->Take16();
  r.directory_size = in->Take32();
  r.directory_offset = in->Take32();
  r.comment_length = in->Take16();
  return r;
}

void EndRecord::Append(Bytes* out) const {
  Put32(out, kSignature);
  Put16(out, this_disk);
  Put16(out, directory_disk);
  Put16(out, disk_entries);
  Put16(out, total_entries);
  Put32(out, directory_size);
  Put32(out, directory_offset);
  Put16(out, comment_length);
}

std::optional<Zip64EndLocator> Zip64EndLocator::Parse(ByteSpan bytes) {
  std::optional<FieldReader> in = Fields(bytes, kSize, kSignature);
  if (!in) return std::nullopt;
  Zip64EndLocator r;
  r.zip64_end_disk = in->Take32();
  r.zip64_end_offset = in->Take64();
  r.total_disks = in->Take32();
  return r;
}

void Zip64EndLocator::Append(Bytes* out) const {
  Put32(out, kSignature);
  Put32(out, zip64_end_disk);
  Put64(out, zip64_end_offset);
  Put32(out, total_disks);
}

std::optional<Zip64EndRecord> Zip64EndRecord::Parse(ByteSpan bytes) {
  std::optional<FieldReader> in = Fields(bytes, kSize, kSignature);
  if (!in) return std::nullopt;
  Zip64EndRecord r;
  r.record_size = in->Take64();
  r.version_made_by = in->Take16();
  r.version_needed = in->Take16();
  r.this_disk = in->Take32();
  r.directory_disk = in->Take32();
  r.disk_entries = in->Take64();
  r.total_entries = in->Take64();
  r.directory_size = in->Take64();
  r.directory_offset = in->Take64();
  return r;
}

void Zip64EndRecord::Append(Bytes* out) const {
  Put32(out, kSignature);
  Put64(out, record_size);
  Put16(out, version_made_by);
  Put16(out, version_needed);
  Put32(out, this_disk);
  Put32(out, directory_disk);
  Put64(out, disk_entries);
  Put64(out, total_entries);
  Put64(out, directory_size);
  Put64(out, directory_offset);
}

std::optional<CentralHeader> CentralHeader::Parse(ByteSpan bytes) {
  std::optional<FieldReader> in = Fields(bytes, kSize, kSignature);
  if (!in) return std::nullopt;
  CentralHeader h;
  h.version_made_by = in->Take16();
  h.version_needed = in->Take16();
  h.flags = in->Take16();
  h.method = in->Take16();
  h.dos_time = in->Take16();
  h.dos_date = in->Take16();
  h.crc = in->Take32();
  h.compressed_size = in->Take32();
  h.uncompressed_size = in->Take32();
  h.name_length = in->Take16();
  h.extra_length = in->Take16();
  h.comment_length = in->Take16();
  h.disk_start = in->Take16();
  h.internal_attributes = in->Take16();
  h.external_attributes = in->Take32();
  h.local_header_offset = in->Take32();
  return h;
}

void CentralHeader::Append(Bytes* out) const {
  Put32(out, kSignature);
  Put16(out, version_made_by);
  Put16(out, version_needed);
  Put16(out, flags);
  Put16(out, method);
  Put16(out, dos_time);
  Put16(out, dos_date);
  Put32(out, crc);
  Put32(out, compressed_size);
  Put32(out, uncompressed_size);
  Put16(out, name_length);
  Put16(out, extra_length);
  Put16(out, comment_length);
  Put16(out, disk_start);
  Put16(out, internal_attributes);
  Put32(out, external_attributes);
  Put32(out, local_header_offset);
}

std::optional<LocalHeader> LocalHeader::Parse(ByteSpan bytes) {
  std::optional<FieldReader> in = Fields(bytes, kSize, kSignature);
  if (!in) return std::nullopt;
  LocalHeader h;
  h.version_needed = in->Take16();
  h.flags = in->Take16();
  h.method = in->Take16();
  h.dos_time = in->Take16();
  h.dos_date = in->Take16();
  h.crc = in->Take32();
  h.compressed_size = in->Take32();
  h.uncompressed_size = in->Take32();
  h.name_length = in->Take16();
  h.extra_length = in->Take16();
  return h;
}

void LocalHeader::Append(Bytes* out) const {
  Put32(out, kSignature);
  Put16(out, version_needed);
  Put16(out, flags);
  Put16(out, method);
  Put16(out, dos_time);
  Put16(out, dos_date);
  Put32(out, crc);
  Put32(out, compressed_size);
  Put32(out, uncompressed_size);
  Put16(out, name_length);
  Put16(out, extra_length);
}

std::optional<DataDescriptor> DataDescriptor::Parse(ByteSpan bytes, bool zip64) {
  if (bytes.size() >= 4 && Get32(bytes.data()) == kSignature) bytes = bytes.subspan(4);
  const size_t size_width = zip64 ? 8 : 4;
  if (bytes.size() < 4 + 2 * size_width) return std::nullopt;
  FieldReader in(bytes.data());
  DataDescriptor d;
  d.crc = in.Take32();
  d.compressed_size = zip64 ? in.Take64() : in.Take32();
  d.uncompressed_size = zip64 ? in.Take64() : in.Take32();
  return d;
}

void DataDescriptor::Append(Bytes* out, bool zip64) const {
  Put32(out, kSignature);
  Put32(out, crc);
  if (zip64) {
    Put64(out, compressed_size);
    Put64(out, uncompressed_size);
  } else {
    Put32(out, static_cast<uint32_t>(compressed_size));
    Put32(out, static_cast<uint32_t>(uncompressed_size));
  }
}

std::optional<Zip64Extra> Zip64Extra::Parse(ByteSpan data, bool uncompressed, bool compressed,
                                            bool offset) {
  Zip64Extra extra;
  size_t at = 0;
  auto take = [&](bool wanted, std::optional<uint64_t>* value) {
    if (!wanted) return true;
    if (at + 8 > data.size()) return false;
    *value = Get64(data.data() + at);
    at += 8;
    return true;
  };
  if (!take(uncompressed, &extra.uncompressed_size) || !take(compressed, &extra.compressed_size) ||
      !take(offset, &extra.local_header_offset)) {
    return std::nullopt;
  }
  return extra;
}

void Zip64Extra::Append(Bytes* out) const {
  Bytes values;
  for (const std::optional<uint64_t>& value :
       {uncompressed_size, compressed_size, local_header_offset}) {
    if (value) Put64(&values, *value);
  }
  if (values.empty()) return;
  Put16(out, kId);
  Put16(out, static_cast<uint16_t>(values.size()));
  out->insert(out->end(), values.begin(), values.end());
}

std::optional<UnicodePathExtra> UnicodePathExtra::Parse(ByteSpan data) {
  if (data.size() < 5) return std::nullopt;
  UnicodePathExtra extra;
  extra.version = data[0];
  extra.name_crc = Get32(data.data() + 1);
  extra.name = data.subspan(5);
  return extra;
}

void UnicodePathExtra::Append(Bytes* out) const {
  Put16(out, kId);
  Put16(out, static_cast<uint16_t>(5 + name.size()));
  out->push_back(version);
  Put32(out, name_crc);
  out->insert(out->end(), name.begin(), name.end());
}

}  // namespace zipformat
