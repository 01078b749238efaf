#include "zipdll/entry_packer.h"

#include <new>
#include <random>

#include "platform/platform.h"
#include "zipdll/deflate.h"
#include "zipdll/zip_format.h"

namespace zipdll {

std::string EncryptionHeader(uint32_t crc, TraditionalCipher* cipher) {
  std::random_device seed;
  std::mt19937 random(seed());
  std::string header(kEncryptionHeaderSize, '\0');
  for (size_t i = 0; i + 1 < header.size(); ++i) header[i] = static_cast<char>(random() & 0xFF);
  header.back() = static_cast<char>(crc >> 24);
  cipher->Encrypt(reinterpret_cast<uint8_t*>(header.data()), header.size());
  return header;
}

PackedEntry PackFile(const PackJob& job) {
  PackedEntry packed;
  try {
    std::unique_ptr<platform::File> file =
        platform::File::Open(job.path, platform::File::Mode::kRead);
    if (!file) {
      packed.error = "cannot open " + job.path;
      return packed;
    }
    uint64_t size = 0;
    if (!file->Size(&size)) {
      packed.error = "cannot read " + job.path;
      return packed;
    }
    std::string contents;
    contents.resize(static_cast<size_t>(size));
    size_t filled = 0;
    // The file may change while it is read: take what is there.
    for (;;) {
      if (filled == contents.size()) contents.resize(contents.size() + (1 << 16));
      size_t got = 0;
      if (!file->Read(contents.data() + filled, contents.size() - filled, &got)) {
        packed.error = "cannot read " + job.path;
        return packed;
      }
      if (got == 0) break;
      filled += got;
    }
    contents.resize(filled);
    packed.size = filled;
    packed.crc = Crc32(0, contents.data(), contents.size());
    if (job.level > 0 &&
        DeflateSmaller(contents.data(), contents.size(), job.level, &packed.data)) {
      packed.method = kMethodDeflated;
    } else {
      packed.method = kMethodStored;
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
  } catch (const std::exception& e) {
    packed = PackedEntry();
    packed.error = job.path + ": " + e.what();
  }
  return packed;
}

EntryPacker::EntryPacker(std::vector<PackJob> jobs, unsigned threads, uint64_t byte_budget)
    : jobs_(std::move(jobs)),
      results_(jobs_.size()),
      done_(jobs_.size(), false),
      byte_budget_(byte_budget) {
  if (threads == 0) threads = 1;
  if (threads > jobs_.size()) threads = static_cast<unsigned>(jobs_.size());
  try {
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // Fewer threads than asked for still do the work; none at all is handled in Take.
  }
}

EntryPacker::~EntryPacker() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void EntryPacker::Work() {
  for (;;) {
    size_t index;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] {
        return stopping_ || next_ >= jobs_.size() || next_ == taken_ ||
               bytes_ahead_ + jobs_[next_].expected_size <= byte_budget_;
      });
      if (stopping_ || next_ >= jobs_.size()) return;
      index = next_++;
      bytes_ahead_ += jobs_[index].expected_size;
    }
    PackedEntry packed = PackFile(jobs_[index]);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      results_[index] = std::move(packed);
      done_[index] = true;
    }
    changed_.notify_all();
  }
}

PackedEntry EntryPacker::Take(size_t index) {
  if (workers_.empty()) {
    // No thread could be started: pack here.
    taken_ = index + 1;
    return PackFile(jobs_[index]);
  }
  PackedEntry packed;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_[index]; });
    packed = std::move(results_[index]);
    results_[index] = PackedEntry();
    bytes_ahead_ -= jobs_[index].expected_size;
    taken_ = index + 1;
  }
  changed_.notify_all();
  return packed;
}

}  // namespace zipdll
