#include "zipformat/zip_records.h"

#include "zipformat/byte_order.h"

namespace zipformat {
namespace {

// Each record's layout is written once, as a list of its fields after the signature; reading
// and writing walk the same list, so that the two can never disagree.
class FieldReader {
 public:
  explicit FieldReader(const uint8_t* bytes) : at_(bytes) {}
  void operator()(uint16_t& value) { value = Get16(Advance(2)); }
  void operator()(uint32_t& value) { value = Get32(Advance(4)); }
  void operator()(uint64_t& value) { value = Get64(Advance(8)); }

 private:
  const uint8_t* Advance(size_t size) {
    const uint8_t* field = at_;
    at_ += size;
    return field;
  }
  const uint8_t* at_;
};

class FieldWriter {
 public:
  explicit FieldWriter(Bytes* out) : out_(out) {}
  void operator()(uint16_t value) { Put16(out_, value); }
  void operator()(uint32_t value) { Put32(out_, value); }
  void operator()(uint64_t value) { Put64(out_, value); }

 private:
  Bytes* out_;
};

template <typename Io>
void Fields(EndRecord& r, Io& io) {
  io(r.this_disk);
  io(r.directory_disk);
  io(r.disk_entries);
  io(r.total_entries);
  io(r.directory_size);
  io(r.directory_offset);
  io(r.comment_length);
}

template <typename Io>
void Fields(Zip64EndLocator& r, Io& io) {
  io(r.zip64_end_disk);
  io(r.zip64_end_offset);
  io(r.total_disks);
}

template <typename Io>
void Fields(Zip64EndRecord& r, Io& io) {
  io(r.record_size);
  io(r.version_made_by);
  io(r.version_needed);
  io(r.this_disk);
  io(r.directory_disk);
  io(r.disk_entries);
  io(r.total_entries);
  io(r.directory_size);
  io(r.directory_offset);
}

// The run of fields a local header and a central header share, in the same order.
template <typename Header, typename Io>
void EntryFields(Header& h, Io& io) {
  io(h.version_needed);
  io(h.flags);
  io(h.method);
  io(h.dos_time);
  io(h.dos_date);
  io(h.crc);
  io(h.compressed_size);
  io(h.uncompressed_size);
  io(h.name_length);
  io(h.extra_length);
}

template <typename Io>
void Fields(CentralHeader& h, Io& io) {
  io(h.version_made_by);
  EntryFields(h, io);
  io(h.comment_length);
  io(h.disk_start);
  io(h.internal_attributes);
  io(h.external_attributes);
  io(h.local_header_offset);
}

template <typename Io>
void Fields(LocalHeader& h, Io& io) {
  EntryFields(h, io);
}

// A record from bytes that hold all of it and begin with its signature.
template <typename Record>
std::optional<Record> ParseRecord(ByteSpan bytes) {
  if (bytes.size() < Record::kSize || Get32(bytes.data()) != Record::kSignature) {
    return std::nullopt;
  }
  Record record;
  FieldReader in(bytes.data() + 4);
  Fields(record, in);
  return record;
}

template <typename Record>
void AppendRecord(Record record, Bytes* out) {
  Put32(out, Record::kSignature);
  FieldWriter writer(out);
  Fields(record, writer);
}

}  // namespace

std::optional<EndRecord> EndRecord::Parse(ByteSpan bytes) { return ParseRecord<EndRecord>(bytes); }
void EndRecord::Append(Bytes* out) const { AppendRecord(*this, out); }

std::optional<Zip64EndLocator> Zip64EndLocator::Parse(ByteSpan bytes) {
  return ParseRecord<Zip64EndLocator>(bytes);
}
void Zip64EndLocator::Append(Bytes* out) const { AppendRecord(*this, out); }

std::optional<Zip64EndRecord> Zip64EndRecord::Parse(ByteSpan bytes) {
  return ParseRecord<Zip64EndRecord>(bytes);
}
void Zip64EndRecord::Append(Bytes* out) const { AppendRecord(*this, out); }

std::optional<CentralHeader> CentralHeader::Parse(ByteSpan bytes) {
  return ParseRecord<CentralHeader>(bytes);
}
void CentralHeader::Append(Bytes* out) const { AppendRecord(*this, out); }

std::optional<LocalHeader> LocalHeader::Parse(ByteSpan bytes) {
  return ParseRecord<LocalHeader>(bytes);
}
void LocalHeader::Append(Bytes* out) const { AppendRecord(*this, out); }

std::optional<DataDescriptor> DataDescriptor::Parse(ByteSpan bytes, bool zip64) {
  if (bytes.size() >= 4 && Get32(bytes.data()) == kSignature) bytes = bytes.subspan(4);
  const size_t size_width = zip64 ? 8 : 4;
  if (bytes.size() < 4 + 2 * size_width) return std::nullopt;
  DataDescriptor d;
  d.crc = Get32(bytes.data());
  d.compressed_size = zip64 ? Get64(bytes.data() + 4) : Get32(bytes.data() + 4);
  d.uncompressed_size =
      zip64 ? Get64(bytes.data() + 4 + size_width) : Get32(bytes.data() + 4 + size_width);
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
