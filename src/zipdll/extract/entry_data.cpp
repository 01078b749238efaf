#include "zipdll/extract/entry_data.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <optional>
#if defined(RD_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#endif

#include "zipdll/common/zip_crypto.h"
#include "zipformat/zip_records.h"

namespace zipdll::extract {
namespace {

constexpr size_t kPiece = 64 * 1024;

// The byte the encryption header ends with: the CRC's high byte, or the time's when the CRC was
// not known yet as the entry was written (data descriptor).
bool CheckByteMatches(const EntryInfo& entry, uint8_t check) {
  if (check == static_cast<uint8_t>(entry.crc >> 24)) return true;
  return (entry.flags & zipformat::kFlagDataDescriptor) &&
         check == static_cast<uint8_t>(entry.dos_time >> 8);
}

bool ReadHeader(platform::File& file, uint64_t data_offset, const EntryInfo& entry,
                TraditionalCipher* cipher) {
  uint8_t header[zipformat::kEncryptionHeaderSize];
  if (entry.compressed_size < zipformat::kEncryptionHeaderSize || !file.Seek(data_offset) ||
      !file.ReadExact(header, sizeof header)) {
    return false;
  }
  cipher->Decrypt(header, sizeof header);
  return CheckByteMatches(entry, header[zipformat::kEncryptionHeaderSize - 1]);
}

// Pulls the entry's stored (compressed, maybe encrypted) bytes in pieces.
class StoredBytes {
 public:
  StoredBytes(platform::File& file, uint64_t remaining, TraditionalCipher* cipher)
      : file_(file), remaining_(remaining), cipher_(cipher) {}

  uint64_t remaining() const { return remaining_; }

  // Reads the next piece into buffer; false on a read error.
  bool Next(uint8_t* buffer, size_t* size) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(kPiece, remaining_));
    if (!file_.ReadExact(buffer, wanted)) return false;
    if (cipher_) cipher_->Decrypt(buffer, wanted);
    remaining_ -= wanted;
    *size = wanted;
    return true;
  }

 private:
  platform::File& file_;
  uint64_t remaining_;
  TraditionalCipher* cipher_;
};

struct Inflater {
  z_stream stream{};
  bool ready = false;
  Inflater() { ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

using Deliver = std::function<bool(const uint8_t*, size_t)>;

#if defined(RD_HAVE_LIBDEFLATE)

// Entries up to this size (both compressed and declared) are inflated whole by libdeflate, in
// about half zlib's time; larger ones go through zlib in pieces, so memory stays flat.
constexpr uint64_t kWholeUpTo = 4 << 20;

enum class Whole {
  kNotDecoded,  // nothing delivered: the caller goes through the stream, which says what is
                // wrong in its own words and delivers what it would have delivered
  kDelivered,
  kRefused,  // the sink refused a piece
};

// Inflates an entry whose stored bytes are read whole, and delivers the result in pieces, as the
// stream would, when libdeflate decodes it to exactly the declared size.
Whole InflatedWhole(platform::File& file, uint64_t stored_size, uint64_t declared,
                    TraditionalCipher* cipher, const Deliver& deliver) {
  if (stored_size > kWholeUpTo || declared > kWholeUpTo || declared == 0) {
    return Whole::kNotDecoded;
  }
  const size_t in_size = static_cast<size_t>(stored_size);
  const size_t out_size = static_cast<size_t>(declared);
  std::unique_ptr<uint8_t[]> in(new uint8_t[in_size]);
  std::unique_ptr<uint8_t[]> out(new uint8_t[out_size]);
  if (!file.ReadExact(in.get(), in_size)) return Whole::kNotDecoded;
  if (cipher) cipher->Decrypt(in.get(), in_size);
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  if (!inflater) return Whole::kNotDecoded;
  size_t produced = 0;
  const libdeflate_result result = libdeflate_deflate_decompress(
      inflater, in.get(), in_size, out.get(), out_size, &produced);
  libdeflate_free_decompressor(inflater);
  if (result != LIBDEFLATE_SUCCESS || produced != declared) return Whole::kNotDecoded;
  for (size_t at = 0; at < out_size; at += kPiece) {
    if (!deliver(out.get() + at, std::min(kPiece, out_size - at))) return Whole::kRefused;
  }
  return Whole::kDelivered;
}

#endif

EntryDataResult Damaged(std::string* detail, const std::string& why) {
  *detail = why;
  return EntryDataResult::kDamaged;
}

// Inflates the stored bytes through zlib a piece at a time, delivering no more than declared.
// kOk when the stream ended; the sizes and the CRC are the caller's to check.
EntryDataResult InflateInPieces(StoredBytes& input, uint64_t declared, const Deliver& deliver,
                                std::string* detail) {
  std::unique_ptr<uint8_t[]> in_buffer(new uint8_t[kPiece]);
  std::unique_ptr<uint8_t[]> out_buffer(new uint8_t[kPiece]);
  uint8_t* const in = in_buffer.get();
  uint8_t* const out = out_buffer.get();
  uint64_t delivered = 0;
  Inflater inflater;
  if (!inflater.ready) return Damaged(detail, "the decompressor cannot start");
  z_stream& z = inflater.stream;
  bool ended = false;
  while (!ended) {
    if (z.avail_in == 0) {
      if (input.remaining() == 0) return Damaged(detail, "its compressed data is cut short");
      size_t got = 0;
      if (!input.Next(in, &got)) return Damaged(detail, "its data is cut short");
      z.next_in = in;
      z.avail_in = static_cast<uInt>(got);
    }
    z.next_out = out;
    z.avail_out = static_cast<uInt>(kPiece);
    const int status = inflate(&z, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      ended = true;
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      return Damaged(detail, "its compressed data is damaged");
    }
    const size_t produced = kPiece - z.avail_out;
    if (produced > declared - delivered) {
      // Deliver no more than declared: a lying size must not fill the disk.
      return Damaged(detail, "it holds more data than its declared size");
    }
    if (produced > 0 && !deliver(out, produced)) return EntryDataResult::kSinkFailed;
    delivered += produced;
    if (status == Z_BUF_ERROR && z.avail_in != 0) {
      return Damaged(detail, "its compressed data is damaged");
    }
  }
  return EntryDataResult::kOk;
}

// Inflates the entry whose stored bytes start at data_start and come through input: whole with
// libdeflate where it decodes them to the declared size, else through zlib's stream.
EntryDataResult Inflate(platform::File& file, uint64_t data_start, StoredBytes& input,
                        const TraditionalCipher* cipher, uint64_t declared, const Deliver& deliver,
                        std::string* detail) {
#if defined(RD_HAVE_LIBDEFLATE)
  // Decrypting changes the cipher's state: the whole try decrypts with a copy, so that the
  // stream can start again from the original.
  std::optional<TraditionalCipher> whole_cipher;
  if (cipher) whole_cipher = *cipher;
  switch (InflatedWhole(file, input.remaining(), declared,
                        whole_cipher ? &*whole_cipher : nullptr, deliver)) {
    case Whole::kDelivered:
      return EntryDataResult::kOk;
    case Whole::kRefused:
      return EntryDataResult::kSinkFailed;
    case Whole::kNotDecoded:
      break;
  }
  if (!file.Seek(data_start)) return Damaged(detail, "its data cannot be read");
#else
  (void)file;
  (void)data_start;
  (void)cipher;
#endif
  return InflateInPieces(input, declared, deliver, detail);
}

}  // namespace

bool PasswordFits(platform::File& file, uint64_t data_offset, const EntryInfo& entry,
                  const std::string& password) {
  TraditionalCipher cipher(password);
  return ReadHeader(file, data_offset, entry, &cipher);
}

EntryDataResult ReadEntryData(platform::File& file, uint64_t data_offset, const EntryInfo& entry,
                              const std::string& password, const EntrySink& sink,
                              std::string* detail) {
  if ((entry.flags & zipformat::kFlagStrongEncryption) ||
      (entry.method != zipformat::kMethodStored && entry.method != zipformat::kMethodDeflated)) {
    *detail = "compression method " + std::to_string(entry.method) + " is not supported";
    return EntryDataResult::kUnsupported;
  }
  std::optional<TraditionalCipher> cipher;
  uint64_t stored_size = entry.compressed_size;
  if (entry.IsEncrypted()) {
    cipher.emplace(password);
    if (!ReadHeader(file, data_offset, entry, &*cipher)) {
      return Damaged(detail, "the password does not fit");
    }
    stored_size -= zipformat::kEncryptionHeaderSize;
  } else if (!file.Seek(data_offset)) {
    return Damaged(detail, "its data cannot be read");
  }
  if (entry.method == zipformat::kMethodStored && stored_size != entry.uncompressed_size) {
    return Damaged(detail, "its stored and declared sizes disagree");
  }

  StoredBytes input(file, stored_size, cipher ? &*cipher : nullptr);
  uint32_t crc = 0;
  uint64_t delivered = 0;
  auto deliver = [&](const uint8_t* data, size_t size) {
    crc = Crc32(crc, data, size);
    delivered += size;
    return sink(data, size);
  };

  if (entry.method == zipformat::kMethodStored) {
    std::unique_ptr<uint8_t[]> in(new uint8_t[kPiece]);
    while (input.remaining() > 0) {
      size_t got = 0;
      if (!input.Next(in.get(), &got)) return Damaged(detail, "its data is cut short");
      if (!deliver(in.get(), got)) return EntryDataResult::kSinkFailed;
    }
  } else {
    const EntryDataResult inflated =
        Inflate(file, data_offset + (entry.compressed_size - stored_size), input,
                cipher ? &*cipher : nullptr, entry.uncompressed_size, deliver, detail);
    if (inflated != EntryDataResult::kOk) return inflated;
  }
  if (delivered != entry.uncompressed_size) {
    return Damaged(detail, "it holds less data than its declared size");
  }
  if (crc != entry.crc) {
    *detail = "its CRC does not match";
    return EntryDataResult::kCrcMismatch;
  }
  return EntryDataResult::kOk;
}

}  // namespace zipdll::extract
