#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/name_encoding.h"

namespace platform {
namespace {

// The character set of the user's locale, as the environment names it ("ISO-8859-15" of
// "de_DE.ISO-8859-15@euro"); empty when it names none. Read from the environment rather than
// the C library's locale, which the program leaves at "C".
std::string LocaleCharset() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (!value || !*value) continue;
    std::string locale = value;
    const size_t dot = locale.find('.');
    if (dot == std::string::npos) return std::string();
    locale = locale.substr(dot + 1);
    return locale.substr(0, locale.find('@'));
  }
  return std::string();
}

bool NamesUtf8(const std::string& charset) {
  std::string folded;
  for (char c : charset) {
    if (c != '-' && c != '_') folded += static_cast<char>(c | 0x20);
  }
  return folded == "utf8";
}

}  // namespace

// Linux keeps names as bytes; the locale tells in which code page they are meant to be read.
bool NameAsUtf8(const std::string& name, std::string* utf8, std::string* why) {
  if (IsUtf8(name)) {
    *utf8 = name;
    return true;
  }
  const std::string charset = LocaleCharset();
  if (charset.empty() || NamesUtf8(charset)) {
    *why = "its name is not in UTF-8, the character set of the system";
    return false;
  }
  iconv_t convert = iconv_open("UTF-8", charset.c_str());
  if (convert == reinterpret_cast<iconv_t>(-1)) {
    *why = "its name is not in UTF-8, and the character set " + charset +
           " of the system is not known here";
    return false;
  }
  std::vector<char> in(name.begin(), name.end());
  std::vector<char> out(name.size() * 4 + 4);
  char* in_at = in.data();
  char* out_at = out.data();
  size_t in_left = in.size(), out_left = out.size();
  const bool converted =
      iconv(convert, &in_at, &in_left, &out_at, &out_left) != size_t(-1) && in_left == 0;
  iconv_close(convert);
  if (!converted || !IsUtf8(std::string_view(out.data(), out.size() - out_left))) {
    *why = "its name is neither in UTF-8 nor in " + charset + ", the character set of the system";
    return false;
  }
  utf8->assign(out.data(), out.size() - out_left);
  return true;
}

}  // namespace platform
