// Reads, checksums, compresses and encrypts the files of an add on worker threads, ahead of the
// thread that writes the archive, which takes the results strictly in order.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
  std::string error;                               // when not ok
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

// Packs one file on the calling thread. It reads no more than the size the file has when it is
// opened: a file that grew meanwhile is not packed, as it could not be read whole. Once *stop
// is set, it gives up between two pieces of 256 KiB it reads or deflates.
PackedEntry PackFile(const PackJob& job, const std::atomic<bool>* stop = nullptr);

class EntryPacker {
 public:
  // Starts the workers at once. At most byte_budget bytes of files are held in memory ahead of
  // the writer, except that one file is always let through however large it is.
  EntryPacker(std::vector<PackJob> jobs, unsigned threads, uint64_t byte_budget);
  // Stops the workers within the piece of a file each is reading or deflating.
  ~EntryPacker();
  EntryPacker(const EntryPacker&) = delete;
  EntryPacker& operator=(const EntryPacker&) = delete;

  // How often a waiting Take asks whether to go on waiting.
  static constexpr std::chrono::milliseconds kWaitReport{100};
  // Jobs up to this size are packed by the taking thread too while the one it waits for is not
  // done, so that one worker keeps two cores busy.
  static constexpr uint64_t kPackHereUpTo = 1 << 20;

  // Waits for job index (taken in order: 0, 1, 2 ...) and hands over its result, packing jobs
  // nobody has started meanwhile. While it waits it calls still_waiting every kWaitReport, and
  // gives up, returning false, when that answers false.
  bool Take(size_t index, const std::function<bool()>& still_waiting, PackedEntry* packed);

 private:
  void Work();
  // Whether the taking thread may start the next job itself. Holds mutex_.
  bool MayPackHere() const;

  std::vector<PackJob> jobs_;
  std::vector<PackedEntry> results_;
  std::vector<bool> done_;
  uint64_t byte_budget_;
  std::mutex mutex_;
  // Each side is woken only when it waits for what happened: a job is done every few dozen
  // microseconds.
  std::condition_variable job_done_;  // the taking thread waits on it
  std::condition_variable room_;      // idle workers wait on it
  size_t awaited_ = SIZE_MAX;         // the job the taking thread waits for
  unsigned idle_workers_ = 0;
  size_t next_ = 0;   // next job to start
  size_t taken_ = 0;  // jobs handed over
  uint64_t bytes_ahead_ = 0;
  bool stopping_ = false;
  std::atomic<bool> stop_work_{false};
  std::vector<std::thread> workers_;
};

}  // namespace zipdll::add
