#include "zipdll/add/deflate.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(RD_HAVE_LIBDEFLATE)
#include <libdeflate.h>

#include <mutex>
#include <new>
#include <vector>
#endif

namespace zipdll::add {

#if defined(RD_HAVE_LIBDEFLATE)

namespace {

// A compressor holds about a megabyte of tables, so the ones made are kept for the next file: as
// many per level as threads have deflated at that level at once (a probe at the fastest level
// comes between files packed at the slowest). Not one per thread in a thread_local: the MinGW
// runtime runs the destructors of thread_local objects at thread exit on storage it has already
// freed.
class CompressorPool {
 public:
  CompressorPool() = default;
  CompressorPool(const CompressorPool&) = delete;
  CompressorPool& operator=(const CompressorPool&) = delete;
  ~CompressorPool() {
    for (std::vector<libdeflate_compressor*>& idle : idle_) {
      for (libdeflate_compressor* handle : idle) libdeflate_free_compressor(handle);
    }
  }

  // An idle compressor of the level, or a new one; null when the level is not one of libdeflate's
  // or there is no memory for it.
  libdeflate_compressor* Take(int level) {
    if (level < 1 || level > kLevels) return nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      std::vector<libdeflate_compressor*>& idle = idle_[level - 1];
      if (!idle.empty()) {
        libdeflate_compressor* handle = idle.back();
        idle.pop_back();
        return handle;
      }
    }
    return libdeflate_alloc_compressor(level);
  }

  void Give(int level, libdeflate_compressor* handle) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      idle_[level - 1].push_back(handle);
    } catch (const std::bad_alloc&) {
      libdeflate_free_compressor(handle);
    }
  }

 private:
  static constexpr int kLevels = 12;
  std::mutex mutex_;
  std::vector<libdeflate_compressor*> idle_[kLevels];
};

CompressorPool& Compressors() {
  static CompressorPool pool;
  return pool;
}

// One compressor of the pool for the length of one call.
class Lease {
 public:
  explicit Lease(int level) : level_(level), handle_(Compressors().Take(level)) {}
  ~Lease() {
    if (handle_) Compressors().Give(level_, handle_);
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  libdeflate_compressor* get() const { return handle_; }

 private:
  int level_;
  libdeflate_compressor* handle_;
};

// The engine's levels are zlib's. libdeflate's 8 and 9 add a second lazy pass that, on chart files
// and on text, came out no smaller than its 7 in 1.2 to 1.7 times its time (libdeflate 1.14), and
// its 7 is as small as zlib's 9 or within 0.2 % of it: 7 is what the engine's 7 to 9 ask of it.
int LibdeflateLevel(int level) { return std::min(level, 7); }

}  // namespace

bool DeflateSmaller(const void* data, size_t size, int level, std::string* out) {
  out->clear();
  if (size == 0) return false;
  const Lease compressor(LibdeflateLevel(level));
  if (!compressor.get()) return false;
  // Only a smaller result is of use, so the output never needs more room than the input.
  out->resize(size - 1);
  const size_t written =
      libdeflate_deflate_compress(compressor.get(), data, size, out->data(), out->size());
  out->resize(written);  // 0 when it did not fit
  return written > 0;
}

#else

bool DeflateSmaller(const void* data, size_t size, int level, std::string* out) {
  out->clear();
  if (size == 0) return false;
  z_stream stream = {};
  // Negative window bits: a raw stream, as zip entries hold it.
  if (deflateInit2(&stream, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out->resize(size - 1);
  constexpr size_t kChunk = std::numeric_limits<uInt>::max();
  const Bytef* in = static_cast<const Bytef*>(data);
  size_t in_left = size;
  size_t produced = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.avail_in == 0 && in_left > 0) {
      const size_t piece = in_left < kChunk ? in_left : kChunk;
      stream.next_in = const_cast<Bytef*>(in);
      stream.avail_in = static_cast<uInt>(piece);
      in += piece;
      in_left -= piece;
    }
    const size_t room = out->size() - produced;
    if (room == 0) break;  // not smaller: give up
    stream.next_out = reinterpret_cast<Bytef*>(out->data() + produced);
    stream.avail_out = static_cast<uInt>(room < kChunk ? room : kChunk);
    const uInt offered = stream.avail_out;
    status = deflate(&stream, in_left == 0 ? Z_FINISH : Z_NO_FLUSH);
    produced += offered - stream.avail_out;
  }
  deflateEnd(&stream);
  if (status != Z_STREAM_END) {
    out->clear();
    return false;
  }
  out->resize(produced);
  return true;
}

#endif

namespace {

// Whether the bytes are spread over the byte values about as evenly as noise is: compressed data
// (photos, archives) is, text and records are far from it. Judged on bytes taken evenly across
// the data, few enough that the look costs next to nothing beside deflating even a small file:
// every file of an add is looked at.
bool SpreadLikeNoise(const uint8_t* data, size_t size) {
  constexpr size_t kSamples = 4096;
  const size_t step = std::max<size_t>(1, size / kSamples);
  uint32_t counts[256] = {};
  size_t taken = 0;
  for (size_t i = 0; i < size; i += step, ++taken) ++counts[data[i]];
  double bits = 0;
  for (uint32_t count : counts) {
    if (count == 0) continue;
    const double share = static_cast<double>(count) / static_cast<double>(taken);
    bits -= share * std::log2(share);
  }
  return bits > kNoiseBitsPerByte;
}

}  // namespace

bool LooksIncompressible(const void* start, size_t start_size, uint64_t file_size) {
  const size_t probed = static_cast<size_t>(std::min<uint64_t>(file_size, kProbeSize));
  if (probed < kSmallestProbed || start_size < probed) return false;
  if (!SpreadLikeNoise(static_cast<const uint8_t*>(start), probed)) return false;
  // A fresh buffer each time: a thread_local one would be destroyed on freed storage at thread exit
  // on Windows (see CompressorPool); one allocation per probed file is nothing beside deflating it.
  std::string scratch;
  return !DeflateSmaller(start, probed, 1, &scratch);
}

struct DeflateStream::State {
  z_stream stream = {};
  bool ready = false;
};

DeflateStream::DeflateStream(int level) : state_(new State) {
  state_->ready =
      deflateInit2(&state_->stream, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
}

DeflateStream::~DeflateStream() {
  if (state_->ready) deflateEnd(&state_->stream);
}

bool DeflateStream::Compress(const void* data, size_t size, bool finish, std::string* out) {
  if (!state_->ready || size > std::numeric_limits<uInt>::max()) return false;
  z_stream& stream = state_->stream;
  stream.next_in = static_cast<Bytef*>(const_cast<void*>(data));
  stream.avail_in = static_cast<uInt>(size);
  char buffer[1 << 16];
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    const int status = deflate(&stream, finish ? Z_FINISH : Z_NO_FLUSH);
    if (status == Z_STREAM_ERROR) return false;
    out->append(buffer, sizeof buffer - stream.avail_out);
    if (finish ? status == Z_STREAM_END : (stream.avail_in == 0 && stream.avail_out != 0)) break;
  }
  return true;
}

}  // namespace zipdll::add
