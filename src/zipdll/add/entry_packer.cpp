#include "zipdll/add/entry_packer.h"

#include <algorithm>
#include <new>
#include <random>
#include <utility>

#include "platform/platform.h"
#include "zipdll/add/deflate.h"
#include "zipdll/common/zip_crypto.h"
#include "zipformat/zip_records.h"

namespace zipdll::add {

std::string EncryptionHeader(uint32_t crc, TraditionalCipher* cipher) {
  std::random_device seed;
  std::mt19937 random(seed());
  std::string header(zipformat::kEncryptionHeaderSize, '\0');
  for (size_t i = 0; i + 1 < header.size(); ++i) header[i] = static_cast<char>(random() & 0xFF);
  header.back() = static_cast<char>(crc >> 24);
  cipher->Encrypt(reinterpret_cast<uint8_t*>(header.data()), header.size());
  return header;
}

namespace {

// Pieces small enough that a stop is seen soon, even on a slow drive or with data that deflate
// takes long over.
constexpr size_t kPiece = 256 << 10;

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(); }

// DeflateSmaller, but a file of more than one piece goes through the stream a piece at a time,
// so that a stop is seen between two of them; false when stopped.
bool DeflateSmallerInPieces(const std::string& contents, int level, const std::atomic<bool>* stop,
                            std::string* out) {
  if (contents.size() <= kPiece)
    return DeflateSmaller(contents.data(), contents.size(), level, out);
  DeflateStream stream(level);
  out->clear();
  for (size_t at = 0; at < contents.size(); at += kPiece) {
    const size_t piece = std::min(kPiece, contents.size() - at);
    if (Stopped(stop) ||
        !stream.Compress(contents.data() + at, piece, at + piece == contents.size(), out) ||
        out->size() >= contents.size()) {
      out->clear();
      return false;
    }
  }
  return true;
}

}  // namespace

PackedEntry PackFile(const PackJob& job, const std::atomic<bool>* stop) {
  PackedEntry packed;
  try {
    std::unique_ptr<platform::File> file =
        platform::File::Open(job.path, platform::File::Mode::kRead);
    if (!file) {
      packed.cause = platform::LastCause();
      packed.error = "cannot open " + job.path;
      return packed;
    }
    uint64_t size = 0;
    if (!file->Size(&size)) {
      packed.cause = platform::LastCause();
      packed.error = "cannot read " + job.path;
      return packed;
    }
    if (size > job.expected_size) {
      packed.grown = true;
      return packed;
    }
    std::string contents;
    contents.resize(static_cast<size_t>(size));
    size_t filled = 0;
    // A file that shrank while it is read is taken as it ends.
    while (filled < contents.size()) {
      if (Stopped(stop)) {
        packed.error = "stopped";
        return packed;
      }
      size_t got = 0;
      const size_t piece = std::min(contents.size() - filled, kPiece);
      if (!file->Read(contents.data() + filled, piece, &got)) {
        packed.cause = platform::LastCause();
        packed.error = "cannot read " + job.path;
        return packed;
      }
      if (got == 0) break;
      filled += got;
    }
    if (filled == contents.size()) {
      char more = 0;
      size_t got = 0;
      if (!file->Read(&more, 1, &got) || got != 0) {
        packed.cause = got != 0 ? platform::Cause::kChanged : platform::LastCause();
        packed.error = "it grew while it was read, so it could not be read whole";
        return packed;
      }
    }
    contents.resize(filled);
    packed.size = filled;
    packed.crc = Crc32(0, contents.data(), contents.size());
    // Data that does not shrink at the fastest level is stored without a try at the slowest,
    // which would take many times as long to find the same.
    if (job.level > 0 && !LooksIncompressible(contents.data(), contents.size(), contents.size()) &&
        DeflateSmallerInPieces(contents, job.level, stop, &packed.data)) {
      packed.method = zipformat::kMethodDeflated;
    } else if (Stopped(stop)) {
      packed.error = "stopped";
      return packed;
    } else {
      packed.method = zipformat::kMethodStored;
      packed.data.swap(contents);
    }
    contents = std::string();
    if (job.encrypt) {
      TraditionalCipher cipher(job.password);
      const std::string header = EncryptionHeader(packed.crc, &cipher);
      cipher.Encrypt(reinterpret_cast<uint8_t*>(packed.data.data()), packed.data.size());
      packed.data.insert(0, header);
      packed.encrypted = true;
    }
    packed.ok = true;
  } catch (const std::bad_alloc&) {
    packed = PackedEntry();
    packed.error = "not enough memory for " + job.path;
    packed.cause = platform::Cause::kNoMemory;
  } catch (const std::exception& e) {
    packed = PackedEntry();
    packed.error = job.path + ": " + e.what();
    packed.cause = platform::Cause::kOther;
  }
  return packed;
}

EntryPacker::EntryPacker(unsigned threads, uint64_t byte_budget)
    : WorkAhead(
          threads, byte_budget,
          [this](PackJob& job, unsigned) { return PackFile(job, &stopping()); },
          [](const PackJob&, uint64_t size) { return size <= kPackHereUpTo; }) {}

}  // namespace zipdll::add
