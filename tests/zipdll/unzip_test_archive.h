// Builds zip archives byte by byte for the extracting tests, honest or lying as a test asks.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace unzip_test {

struct TestEntry {
  std::string name;  // stored bytes
  std::string data;
  uint16_t method = 8;  // 0 stored, 8 deflated
  uint16_t flags = 0;
  uint16_t made_by = 20;       // MS-DOS host, version 2.0
  uint16_t dos_time = 0x7A2F;  // 15:17:30
  uint16_t dos_date = 0x5821;  // 2024-01-01
  uint32_t external_attributes = 0;
  std::string password;  // traditional encryption when not empty
  enum class Descriptor { kNone, kWithSignature, kWithoutSignature } descriptor = Descriptor::kNone;
  std::string extra;   // in both headers
  bool zip64 = false;  // sizes and offset in zip64 extra fields
  // Lies told in the central directory (and the local header), in place of the true values.
  std::optional<uint32_t> crc, compressed_size, uncompressed_size, offset;
};

class TestArchive {
 public:
  TestEntry& Add(const std::string& name, const std::string& data);
  // Deflates at level 9 with zlib, as raw deflate data.
  static std::string Deflate(const std::string& data);

  std::deque<TestEntry> entries;  // a deque: Add's references stay valid
  std::string prefix;             // in front of the archive, like a self-extractor's program
  std::string suffix;             // after the end record
  std::string comment;
  bool zip64_end = false;  // zip64 end record and locator, with the 32-bit fields saturated

  std::string Bytes() const;
};

// A DOS date and time as the platform's file ages take them: date high, time low.
inline int32_t DosAge(const TestEntry& entry) {
  return static_cast<int32_t>((static_cast<uint32_t>(entry.dos_date) << 16) | entry.dos_time);
}

}  // namespace unzip_test
