#include "zipdll/unzip_test_archive.h"

#include <zlib.h>

#include <stdexcept>

#include "zipdll/common/zip_crypto.h"
#include "zipformat/byte_order.h"
#include "zipformat/zip_records.h"

namespace unzip_test {

using zipformat::Put16;
using zipformat::Put32;
using zipformat::Put64;

TestEntry& TestArchive::Add(const std::string& name, const std::string& data) {
  entries.emplace_back();
  entries.back().name = name;
  entries.back().data = data;
  return entries.back();
}

std::string TestArchive::Deflate(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

std::string TestArchive::Bytes() const {
  std::string archive = prefix;
  std::string directory;
  for (const TestEntry& entry : entries) {
    const uint32_t true_crc = zipdll::Crc32(0, entry.data.data(), entry.data.size());
    const uint32_t crc = entry.crc.value_or(true_crc);
    std::string stored = entry.method == 8 ? Deflate(entry.data) : entry.data;
    uint16_t flags = entry.flags;
    if (entry.descriptor != TestEntry::Descriptor::kNone) flags |= zipformat::kFlagDataDescriptor;
    if (!entry.password.empty()) {
      flags |= zipformat::kFlagEncrypted;
      std::string header = "\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB";
      header += static_cast<char>((flags & zipformat::kFlagDataDescriptor) ? entry.dos_time >> 8
                                                                           : true_crc >> 24);
      zipdll::TraditionalCipher cipher(entry.password);
      stored = header + stored;
      cipher.Encrypt(reinterpret_cast<uint8_t*>(stored.data()), stored.size());
    }
    const uint64_t offset = archive.size() - prefix.size();
    const uint32_t compressed =
        entry.compressed_size.value_or(static_cast<uint32_t>(stored.size()));
    const uint32_t uncompressed =
        entry.uncompressed_size.value_or(static_cast<uint32_t>(entry.data.size()));
    std::string extra = entry.extra;
    if (entry.zip64) {
      zipformat::Put16(&extra, 1);
      zipformat::Put16(&extra, 24);
      zipformat::Put64(&extra, uncompressed);
      zipformat::Put64(&extra, compressed);
      zipformat::Put64(&extra, entry.offset.value_or(static_cast<uint32_t>(offset)));
    }
    auto common = [&](std::string* out, bool local) {
      zipformat::Put16(out, entry.zip64 ? 45 : 20);
      zipformat::Put16(out, flags);
      zipformat::Put16(out, entry.method);
      zipformat::Put16(out, entry.dos_time);
      zipformat::Put16(out, entry.dos_date);
      const bool deferred = local && entry.descriptor != TestEntry::Descriptor::kNone;
      zipformat::Put32(out, deferred ? 0 : crc);
      zipformat::Put32(out, deferred ? 0 : entry.zip64 ? 0xFFFFFFFF : compressed);
      zipformat::Put32(out, deferred ? 0 : entry.zip64 ? 0xFFFFFFFF : uncompressed);
      zipformat::Put16(out, static_cast<uint16_t>(entry.name.size()));
      zipformat::Put16(out, static_cast<uint16_t>(extra.size()));
    };
    zipformat::Put32(&archive, zipformat::LocalHeader::kSignature);
    common(&archive, true);
    archive += entry.name + extra + stored;
    if (entry.descriptor == TestEntry::Descriptor::kWithSignature) {
      zipformat::Put32(&archive, zipformat::DataDescriptor::kSignature);
    }
    if (entry.descriptor != TestEntry::Descriptor::kNone) {
      zipformat::Put32(&archive, crc);
      zipformat::Put32(&archive, compressed);
      zipformat::Put32(&archive, uncompressed);
    }
    zipformat::Put32(&directory, zipformat::CentralHeader::kSignature);
    zipformat::Put16(&directory, entry.made_by);
    common(&directory, false);
    zipformat::Put16(&directory, 0);  // comment length
    zipformat::Put16(&directory, 0);  // disk
    zipformat::Put16(&directory, 0);  // internal attributes
    zipformat::Put32(&directory, entry.external_attributes);
    zipformat::Put32(&directory, entry.zip64
                                     ? 0xFFFFFFFF
                                     : entry.offset.value_or(static_cast<uint32_t>(offset)));
    directory += entry.name + extra;
  }
  const uint64_t directory_offset = archive.size() - prefix.size();
  archive += directory;
  if (zip64_end) {
    const uint64_t record_offset = archive.size() - prefix.size();
    zipformat::Put32(&archive, zipformat::Zip64EndRecord::kSignature);
    zipformat::Put64(&archive, 44);
    zipformat::Put16(&archive, 45);
    zipformat::Put16(&archive, 45);
    zipformat::Put32(&archive, 0);
    zipformat::Put32(&archive, 0);
    zipformat::Put64(&archive, entries.size());
    zipformat::Put64(&archive, entries.size());
    zipformat::Put64(&archive, directory.size());
    zipformat::Put64(&archive, directory_offset);
    zipformat::Put32(&archive, zipformat::Zip64EndLocator::kSignature);
    zipformat::Put32(&archive, 0);
    zipformat::Put64(&archive, record_offset);
    zipformat::Put32(&archive, 1);
  }
  zipformat::Put32(&archive, zipformat::EndRecord::kSignature);
  zipformat::Put16(&archive, 0);
  zipformat::Put16(&archive, 0);
  zipformat::Put16(&archive, zip64_end ? 0xFFFF : static_cast<uint16_t>(entries.size()));
  zipformat::Put16(&archive, zip64_end ? 0xFFFF : static_cast<uint16_t>(entries.size()));
  zipformat::Put32(&archive, zip64_end ? 0xFFFFFFFF : static_cast<uint32_t>(directory.size()));
  zipformat::Put32(&archive, zip64_end ? 0xFFFFFFFF : static_cast<uint32_t>(directory_offset));
  zipformat::Put16(&archive, static_cast<uint16_t>(comment.size()));
  archive += comment + suffix;
  return archive;
}

}  // namespace unzip_test
