#include "zipdll/common/zip_crypto.h"

#include <zlib.h>

#include <limits>

#if defined(RD_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#endif

namespace zipdll {

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
#if defined(RD_HAVE_LIBDEFLATE)
  // The same CRC as zlib's, folded with the processor's carry-less multiply where it has one:
  // several times zlib's speed, which shows on every byte an add or an extract handles.
  return libdeflate_crc32(crc, data, size);
#else
  const Bytef* bytes = static_cast<const Bytef*>(data);
  // zlib takes at most a uInt at a time.
  constexpr size_t kChunk = std::numeric_limits<uInt>::max();
  while (size > 0) {
    const size_t piece = size < kChunk ? size : kChunk;
    crc = static_cast<uint32_t>(crc32(crc, bytes, static_cast<uInt>(piece)));
    bytes += piece;
    size -= piece;
  }
  return crc;
#endif
}

namespace {

// One step of the CRC register without zlib's pre- and post-inversion, as the cipher's keys use it.
uint32_t CrcByte(uint32_t crc, uint8_t byte) {
  static const z_crc_t* const table = get_crc_table();
  return static_cast<uint32_t>(table[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
}

}  // namespace

TraditionalCipher::TraditionalCipher(std::string_view password) {
  for (char c : password) UpdateKeys(static_cast<uint8_t>(c));
}

uint8_t TraditionalCipher::KeyStreamByte() const {
  // In 32 unsigned bits: the product of two 16-bit values overflows a (promoted) int.
  const uint32_t temp = (key2_ & 0xFFFF) | 2;
  return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

void TraditionalCipher::UpdateKeys(uint8_t plain) {
  key0_ = CrcByte(key0_, plain);
  key1_ = (key1_ + (key0_ & 0xFF)) * 134775813 + 1;
  key2_ = CrcByte(key2_, static_cast<uint8_t>(key1_ >> 24));
}

uint8_t TraditionalCipher::Decrypt(uint8_t c) {
  const uint8_t plain = c ^ KeyStreamByte();
  UpdateKeys(plain);
  return plain;
}

uint8_t TraditionalCipher::Encrypt(uint8_t p) {
  const uint8_t cipher = p ^ KeyStreamByte();
  UpdateKeys(p);
  return cipher;
}

void TraditionalCipher::Decrypt(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) data[i] = Decrypt(data[i]);
}

void TraditionalCipher::Encrypt(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) data[i] = Encrypt(data[i]);
}

}  // namespace zipdll
