// The zip file format as both libraries read and write it: record signatures, little-endian
// field access, the CRC-32 and the traditional PKWARE encryption.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zipdll {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr uint32_t kEndRecordSignature = 0x06054b50;
inline constexpr uint32_t kZip64EndRecordSignature = 0x06064b50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr uint32_t kDataDescriptorSignature = 0x08074b50;

// Fixed sizes of the records, without their variable parts.
inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kZip64EndRecordSize = 56;
inline constexpr size_t kZip64LocatorSize = 20;

// General-purpose flag bits.
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr uint16_t kFlagUtf8 = 0x0800;

// Compression methods.
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kMethodAes = 99;  // WinZip AES: the real method is in its extra field

// Extra field ids.
inline constexpr uint16_t kExtraZip64 = 0x0001;
inline constexpr uint16_t kExtraUnicodePath = 0x7075;
inline constexpr uint16_t kExtraAes = 0x9901;  // WinZip AES: version, vendor, strength, method

// Value of a 32-bit (16-bit) field whose real value is in the zip64 records.
inline constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
inline constexpr uint16_t kZip64Marker16 = 0xFFFF;

// Size of the header in front of encrypted data.
inline constexpr size_t kEncryptionHeaderSize = 12;

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t Get64(const uint8_t* p) {
  return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

// Overwrite a field in place.
inline void Store16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void Store32(uint8_t* p, uint32_t value) {
  Store16(p, static_cast<uint16_t>(value));
  Store16(p + 2, static_cast<uint16_t>(value >> 16));
}

// Append a field.
void Put16(std::string* out, uint16_t value);
void Put32(std::string* out, uint32_t value);
void Put64(std::string* out, uint64_t value);

// zlib's crc32: start with 0 and feed the data in pieces.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// The traditional PKWARE stream cipher ("ZipCrypto"). One object per entry: its keys advance with
// every byte, starting from the password.
class TraditionalCipher {
 public:
  explicit TraditionalCipher(std::string_view password);

  uint8_t Decrypt(uint8_t c);
  uint8_t Encrypt(uint8_t p);
  void Decrypt(uint8_t* data, size_t size);
  void Encrypt(uint8_t* data, size_t size);

 private:
  uint8_t KeyStreamByte() const;
  void UpdateKeys(uint8_t plain);

  uint32_t key0_ = 0x12345678;
  uint32_t key1_ = 0x23456789;
  uint32_t key2_ = 0x34567890;
};

}  // namespace zipdll
