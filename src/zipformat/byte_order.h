// Little-endian fields, as every number in a zip archive is stored: read from a pointer the caller
// has bounds-checked, appended to a buffer of bytes (std::vector<uint8_t> or std::string).
#pragma once

#include <cstdint>

namespace zipformat {

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
template <typename Buffer>
void Put16(Buffer* out, uint16_t value) {
  using Byte = typename Buffer::value_type;
  out->push_back(static_cast<Byte>(value & 0xFF));
  out->push_back(static_cast<Byte>(value >> 8));
}

template <typename Buffer>
void Put32(Buffer* out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<uint16_t>(value >> 16));
}

template <typename Buffer>
void Put64(Buffer* out, uint64_t value) {
  Put32(out, static_cast<uint32_t>(value & 0xFFFFFFFF));
  Put32(out, static_cast<uint32_t>(value >> 32));
}

}  // namespace zipformat
