#include "base/wildcard.h"

#include <algorithm>
#include <string>

namespace base {
namespace {

// Lower-cases ASCII letters and the UTF-8 forms of the Latin-1 capitals U+00C0 to U+00DE (not the
// multiplication sign), which is what a Windows file name comparison folds in practice for the
// names this program meets.
void FoldInPlace(char* out, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < size) {
      unsigned char next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) out[i + 1] = static_cast<char>(next + 0x20);
      ++i;
    }
  }
}

// The folded text, in buffer when it fits there (no allocation), else in *heap.
template <size_t kSize>
std::string_view FoldInto(std::string_view text, char (&buffer)[kSize], std::string* heap) {
  char* out = buffer;
  if (text.size() <= kSize) {
    std::copy(text.begin(), text.end(), buffer);
  } else {
    heap->assign(text);
    out = heap->data();
  }
  FoldInPlace(out, text.size());
  return std::string_view(out, text.size());
}

// Length of the UTF-8 character that starts at text[i]; a stray byte counts as one.
size_t CharLength(std::string_view text, size_t i) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  for (size_t k = 1; k < len; ++k) {
    if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return len;
}

bool Match(std::string_view name, std::string_view mask) {
  size_t n = 0, m = 0;
  size_t star_m = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      star_m = ++m;
      star_n = n;
    } else if (m < mask.size() && mask[m] == '?') {
      n += CharLength(name, n);
      ++m;
    } else if (m < mask.size() && mask[m] == name[n]) {
      ++n;
      ++m;
    } else if (star_m != std::string_view::npos) {
      // Let the last star take one more character and try again from there.
      star_n += CharLength(name, star_n);
      n = star_n;
      m = star_m;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

// Whether mask is a star followed by text without wildcards that starts with an ASCII
// character, such as "*.cht": a star takes whole characters, and no character but a one-byte one
// ends where that text starts, so the mask matches exactly the names ending in the text.
bool IsStarAndSuffix(std::string_view mask) {
  return mask.size() >= 2 && mask[0] == '*' && static_cast<unsigned char>(mask[1]) < 0x80 &&
         mask.find_first_of("*?", 1) == std::string_view::npos;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out(text);
  FoldInPlace(out.data(), out.size());
  return out;
}

bool MatchesMask(std::string_view name, std::string_view mask) {
  // "*" and "*.*" take every name (a name without a dot matches "*.*" as "*"), and listings ask
  // for them most.
  if (mask == "*" || mask == "*.*") return true;
  // Folded on the stack: a search matches every name of a disk this way.
  char name_buffer[256], mask_buffer[256];
  std::string name_heap, mask_heap;
  return MatchesFoldedMask(FoldInto(name, name_buffer, &name_heap),
                           FoldInto(mask, mask_buffer, &mask_heap));
}

bool MatchesFoldedMask(std::string_view folded_name, std::string_view folded_mask) {
  const bool matched = IsStarAndSuffix(folded_mask) ? folded_name.ends_with(folded_mask.substr(1))
                                                    : Match(folded_name, folded_mask);
  if (matched) return true;
  if (folded_mask.size() >= 2 && folded_mask.ends_with(".*") &&
      folded_name.find('.') == std::string::npos) {
    return Match(folded_name, std::string_view(folded_mask).substr(0, folded_mask.size() - 2));
  }
  return false;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  // Walked in place: the platform layer compares every name of a folder this way when it looks
  // for a file that is not there yet, so this must not allocate.
  if (a.size() != b.size()) return false;
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  auto lower_latin1 = [](unsigned char c) {
    return c >= 0x80 && c <= 0x9E && c != 0x97 ? c + 0x20 : c;
  };
  for (size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (lower(x) != lower(y)) return false;
    if (x == 0xC3 && i + 1 < a.size()) {
      ++i;
      if (lower_latin1(static_cast<unsigned char>(a[i])) !=
          lower_latin1(static_cast<unsigned char>(b[i]))) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace base
