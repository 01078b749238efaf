// Reads, checksums, compresses and encrypts the files of an add on worker threads, ahead of the
// thread that writes the archive, which takes the results strictly in order.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "base/work_ahead.h"
#include "platform/cause.h"

namespace zipdll {
class TraditionalCipher;
}  // namespace zipdll

namespace zipdll::add {

struct PackJob {
  std::string path;
  uint64_t expected_size = 0;  // from the listing; used to keep memory in bounds
  int level = 9;               // deflate level; 0 stores
  bool encrypt = false;
  std::string password;
};

struct PackedEntry {
  bool ok = false;
  bool grown = false;  // larger than listed: to be read a piece at a time instead
  std::string error;   // when not ok
  platform::Cause cause = platform::Cause::kNone;  // of a failed system call, when not ok
  uint32_t crc = 0;
  uint64_t size = 0;  // bytes read
  uint16_t method = 0;
  bool encrypted = false;
  std::string data;  // what goes into the archive after the local header
};

// The twelve bytes in front of encrypted data, already encrypted with cipher: eleven random bytes,
// then the CRC's high byte, which lets a reader check the password.
std::string EncryptionHeader(uint32_t crc, TraditionalCipher* cipher);

// Packs one file on the calling thread. A file larger when it is opened than its listed size is
// not read at all (grown is set), as it could be larger than the memory the packing may take; it
// reads no more than the size the file has when it is opened: a file that grows meanwhile is not
// packed, as it could not be read whole. Once *stop is set, it gives up between two pieces of
// 256 KiB it reads or deflates.
PackedEntry PackFile(const PackJob& job, const std::atomic<bool>* stop = nullptr);

// Packs the jobs on worker threads, ahead of the thread that writes the archive and takes the
// results strictly in order (Take; a waiting Take asks its caller whether to go on every
// WorkAhead::kWaitReport). At most byte_budget bytes of files, by the sizes the listing gave, are
// held in memory ahead of the writer, except that one file is always let through however large it
// is. Destroying it stops the workers within the piece of a file each is reading or deflating.
class EntryPacker : public base::WorkAhead<PackJob, PackedEntry> {
 public:
  EntryPacker(unsigned threads, uint64_t byte_budget);

  // Jobs up to this size are packed by the taking thread too while the one it waits for is not
  // done, so that one worker keeps two cores busy.
  static constexpr uint64_t kPackHereUpTo = 1 << 20;

  void Add(PackJob job) {
    const uint64_t cost = job.expected_size;
    WorkAhead::Add(std::move(job), cost);
  }
};

}  // namespace zipdll::add
