// The engine's checksum and cipher: the CRC-32 every entry carries and the traditional PKWARE
// encryption, whose keys are built on the same CRC. Both come from zlib's tables, which is why
// they live here and not in the zip format module below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zipdll {

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
