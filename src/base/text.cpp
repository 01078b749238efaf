#include "base/text.h"

#include <atomic>
#include <cmath>

namespace base {

std::string UpperText(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string StripTrailing(char ch, std::string text) {
  while (!text.empty() && text.back() == ch) text.pop_back();
  return text;
}

std::string StripLeading(char ch, std::string text) {
  size_t first = text.find_first_not_of(ch);
  return first == std::string::npos ? std::string() : text.substr(first);
}

std::string TrimTrailingSpaces(std::string text) { return StripTrailing(' ', std::move(text)); }

std::string TrimLeadingSpaces(std::string text) { return StripLeading(' ', std::move(text)); }

std::string KeepAlphaNum(const std::string& text) {
  std::string out;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) out += c;
  }
  return out;
}

std::string KeepPrintable(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c >= ' ' && c <= '~') out += c;
  }
  return out;
}

std::string CleanText(const std::string& text) {
  return TrimLeadingSpaces(TrimTrailingSpaces(KeepPrintable(text)));
}

size_t LastPos(const std::string& sub, const std::string& text) {
  if (sub.empty() || sub.size() > text.size()) return std::string::npos;
  return text.rfind(sub);
}

std::string TextAfter(const std::string& text, size_t from, const std::string& marker) {
  if (from >= text.size()) return std::string();
  size_t at = text.find(marker, from);
  if (at == std::string::npos) return std::string();
  return text.substr(at + marker.size());
}

std::string TextBeforeLast(const std::string& text, size_t from, const std::string& marker) {
  if (from >= text.size()) return std::string();
  size_t last = LastPos(marker, text);
  if (last == std::string::npos) return text.substr(from);
  if (last <= from) return std::string();
  return text.substr(from, last - from);
}

std::string StripExtension(const std::string& path) {
  size_t dot = LastPos(".", path);
  size_t slash = LastPos("\\", path);
  bool dot_in_last_element =
      dot != std::string::npos && (slash == std::string::npos || slash < dot);
  return dot_in_last_element ? TextBeforeLast(path, 0, ".") : path;
}

std::string WordWithDot(const std::string& path) {
  size_t dot = LastPos(".", path);
  if (dot == std::string::npos) return path;
  // Walked with positions from 1, as the rule is stated; at() is path[position - 1].
  const long len = static_cast<long>(path.size());
  auto at = [&](long position) {
    return position >= 1 && position <= len ? path[position - 1] : '\0';
  };
  const long d = static_cast<long>(dot) + 1;
  long s = d;
  do {
    --s;
  } while (at(s) != '\\' && s > 1);
  if (s < 1) s = 1;
  long e = d;
  do {
    ++e;
  } while (e < len && at(e) != ':' && at(e) != '\\');
  if (at(e) == ':' || at(e) == '\\') --e;
  if (e > len) e = len;
  if (at(s) == ' ' || at(s) == '\\') ++s;
  if (s > e) return std::string();
  return path.substr(s - 1, e - s + 1);
}

std::string EnsureTrailingChar(char ch, const std::string& text) {
  if (!text.empty() && text.back() == ch) return text;
  return text + ch;
}

std::string AddBackslash(const std::string& text) { return EnsureTrailingChar('\\', text); }

std::string FolderOf(const std::string& path) {
  const size_t split = path.find_last_of("\\:");
  return split == std::string::npos ? std::string() : path.substr(0, split + 1);
}

std::string NameOf(const std::string& path) {
  const size_t split = path.find_last_of("\\:");
  return split == std::string::npos ? path : path.substr(split + 1);
}

int FindInList(const StringList& words, int position, const std::string& text) {
  const std::string upper_text = UpperText(text);
  for (const std::string& word : words) {
    if (word.empty()) continue;  // an empty word occurs nowhere
    size_t at = upper_text.find(UpperText(word));
    if (at == std::string::npos) continue;
    int p = static_cast<int>(at);
    if (position < 0 || p == position) return p;
  }
  return -1;
}

std::string IntToText(long long value) { return std::to_string(value); }

int RoundedPercent(double part, double whole) {
  const double percent = std::nearbyint(100.0 * part / whole);
  return percent < 0 ? 0 : percent > 100 ? 100 : static_cast<int>(percent);
}

char NextSpinnerChar() {
  static constexpr char kSpinner[] = {'|', '/', '-', '\\'};
  static std::atomic<unsigned> position{0};
  return kSpinner[position.fetch_add(1) % 4];
}

}  // namespace base
