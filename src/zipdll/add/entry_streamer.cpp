#include "zipdll/add/entry_streamer.h"

#include <algorithm>
#include <memory>

#include "zipdll/add/deflate.h"
#include "zipdll/add/entry_packer.h"
#include "zipdll/common/zip_crypto.h"
#include "zipformat/zip_records.h"

namespace zipdll::add {
namespace {

constexpr size_t kPiece = 64 << 10;

// Reads the file from its start up to length bytes, handing each piece to use and then an empty
// one; false on a read error, when use says so, or when the file holds more than length bytes.
// A file that ends sooner is handed over as it is.
bool ReadPieces(platform::File& file, uint64_t length,
                const std::function<bool(const char*, size_t)>& use) {
  if (!file.Seek(0)) return false;
  std::string buffer(kPiece, '\0');
  uint64_t left = length;
  for (;;) {
    size_t got = 0;
    if (left > 0) {
      const size_t piece = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
      if (!file.Read(buffer.data(), piece, &got)) return false;
      left -= got;
    } else {
      // At the size the file had: anything more means it grew while it was read.
      if (!file.Read(buffer.data(), 1, &got)) return false;
      if (got != 0) {
        platform::SetLastCause(platform::Cause::kChanged);
        return false;
      }
    }
    if (!use(buffer.data(), got)) return false;
    if (got == 0) return true;
  }
}

// Whether the file's start does not shrink at the fastest level (LooksIncompressible). A read
// that fails answers no: the reading of the entry then meets the failure and says so.
bool StartLooksIncompressible(platform::File& file, uint64_t length) {
  std::string start(static_cast<size_t>(std::min<uint64_t>(kProbeSize, length)), '\0');
  size_t filled = 0;
  if (!file.Seek(0)) return false;
  while (filled < start.size()) {
    size_t got = 0;
    if (!file.Read(start.data() + filled, start.size() - filled, &got) || got == 0) return false;
    filled += got;
  }
  return LooksIncompressible(start.data(), start.size(), length);
}

}  // namespace

StreamResult StreamEntry(ZipWriter& writer, platform::File& file, CentralRecord record, int level,
                         const std::string* password, const std::function<bool(uint64_t)>& progress,
                         uint64_t* size) {
  // Each reading stops at the size the file had when it was opened, so no file is read without
  // end.
  uint64_t length = 0;
  if (!file.Size(&length)) return StreamResult::kUnreadable;
  // Such a file is stored in one reading, instead of deflated in one and then stored in another.
  if (level > 0 && StartLooksIncompressible(file, length)) level = 0;
  uint32_t crc = 0;
  if (password) {
    // The encryption header checks the password against the CRC, so it must be known first.
    const bool read = ReadPieces(file, length, [&](const char* data, size_t got) {
      crc = Crc32(crc, data, got);
      return true;
    });
    if (!read) return StreamResult::kUnreadable;
  }
  if (password) record.flags |= zipformat::kFlagEncrypted;
  if (!writer.BeginStreamedEntry(record)) {
    return writer.refused() ? StreamResult::kRefused : StreamResult::kWriteFailed;
  }
  const uint64_t data_start = writer.Position();
  const auto abandon = [&](StreamResult result) {
    return writer.AbandonStreamedEntry() ? result : StreamResult::kWriteFailed;
  };

  std::unique_ptr<TraditionalCipher> cipher;
  const auto begin_data = [&] {
    if (!password) return true;
    cipher = std::make_unique<TraditionalCipher>(*password);
    const std::string header = EncryptionHeader(crc, cipher.get());
    return writer.Write(header.data(), header.size());
  };
  const auto put = [&](std::string* bytes) {
    if (cipher) cipher->Encrypt(reinterpret_cast<uint8_t*>(bytes->data()), bytes->size());
    return writer.Write(bytes->data(), bytes->size());
  };

  // One reading of the file into the entry, deflated or stored; progress is reported on the first.
  StreamResult failure = StreamResult::kUnreadable;
  uint32_t pass_crc = 0;
  uint64_t total = 0;
  const auto pass = [&](bool deflating, bool report) {
    if (!begin_data()) {
      failure = StreamResult::kWriteFailed;
      return false;
    }
    std::unique_ptr<DeflateStream> deflate;
    if (deflating) deflate = std::make_unique<DeflateStream>(level);
    pass_crc = 0;
    total = 0;
    std::string out;
    return ReadPieces(file, length, [&](const char* data, size_t got) {
      out.clear();
      if (deflate) {
        if (!deflate->Compress(data, got, got == 0, &out)) return false;
      } else {
        out.assign(data, got);
      }
      pass_crc = Crc32(pass_crc, data, got);
      total += got;
      if (!put(&out)) {
        failure = StreamResult::kWriteFailed;
        return false;
      }
      if (report && got > 0 && !progress(got)) {
        failure = StreamResult::kStopped;
        return false;
      }
      return true;
    });
  };
  const auto give_up = [&] {
    return failure == StreamResult::kUnreadable ? abandon(failure) : failure;
  };

  uint16_t method = level > 0 ? zipformat::kMethodDeflated : zipformat::kMethodStored;
  if (!pass(level > 0, true)) return give_up();
  // Changed between two readings: the password check byte would be wrong.
  if (password && pass_crc != crc) {
    platform::SetLastCause(platform::Cause::kChanged);
    return abandon(StreamResult::kUnreadable);
  }
  crc = pass_crc;
  const uint64_t first_total = total;
  const uint64_t header_size = password ? zipformat::kEncryptionHeaderSize : 0;
  if (method == zipformat::kMethodDeflated &&
      writer.Position() - data_start - header_size >= total) {
    // Deflate did not shrink it: store it instead, in another reading.
    method = zipformat::kMethodStored;
    if (!writer.RewindTo(data_start)) return StreamResult::kWriteFailed;
    if (!pass(false, false)) return give_up();
    if (pass_crc != crc || total != first_total) {
      platform::SetLastCause(platform::Cause::kChanged);
      return abandon(StreamResult::kUnreadable);
    }
  }
  if (!writer.EndStreamedEntry(method, crc, writer.Position() - data_start, total)) {
    return StreamResult::kWriteFailed;
  }
  *size = total;
  return StreamResult::kAdded;
}

}  // namespace zipdll::add
