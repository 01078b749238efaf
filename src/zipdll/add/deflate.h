// Raw deflate of a whole buffer: the one place that knows which deflate library is built
// in (libdeflate where the build found it, zlib otherwise).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zipdll::add {

// Compresses size bytes at data into *out as a raw deflate stream (no zlib or gzip wrapper), at
// level 1 (fastest) to 9 (smallest). Returns false, leaving *out empty, when the result would not
// be smaller than the input (the caller then stores the data) or when compression fails. Safe to
// call from several threads at once.
bool DeflateSmaller(const void* data, size_t size, int level, std::string* out);

// How much of a file's start LooksIncompressible tries.
constexpr size_t kProbeSize = 128 << 10;
// Files smaller than this are deflated whatever they hold: a try costs next to nothing.
constexpr size_t kSmallestProbed = 4 << 10;
// Bits of information per byte above which data is spread like noise (8 is the most).
constexpr double kNoiseBitsPerByte = 7.5;

// True when the first kProbeSize bytes of a file of file_size bytes (the whole file when it is
// smaller) look like data already compressed (photos, archives), on which the slow levels would
// spend their time for nothing: their bytes are spread like noise and they do not shrink under the
// fastest level. start holds the file's first start_size bytes, at least kProbeSize of them unless
// that is the whole file. Safe to call from several threads at once.
bool LooksIncompressible(const void* start, size_t start_size, uint64_t file_size);

// Raw deflate fed in pieces, for files too large to hold in memory (zlib on every
// platform: libdeflate only works on whole buffers).
class DeflateStream {
 public:
  explicit DeflateStream(int level);
  ~DeflateStream();
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;

  // Compresses the next piece, appending what comes out to *out; finish marks the last piece.
  // False when the stream could not be set up or compression failed.
  bool Compress(const void* data, size_t size, bool finish, std::string* out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zipdll::add
