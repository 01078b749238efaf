#include "platform/name_encoding.h"

#include <cstdint>

namespace platform {

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const uint8_t c = static_cast<uint8_t>(text[i]);
    size_t extra = 0;
    uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (c < 0x80) {
      extra = 0;
    } else if (c >= 0xC2 && c < 0xE0) {
      extra = 1;
    } else if (c >= 0xE0 && c < 0xF0) {
      extra = 2;
      if (c == 0xE0) low = 0xA0;   // overlong
      if (c == 0xED) high = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c < 0xF5) {
      extra = 3;
      if (c == 0xF0) low = 0x90;   // overlong
      if (c == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      if (k == 1 ? (next < low || next > high) : (next & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace platform
