#include "platform/name_encoding.h"

namespace platform {

// Names come from the system in UTF-16 and are turned into UTF-8 by the program's code page; one
// that is no UTF-8 holds a lone half of a surrogate pair, which no code page has.
bool NameAsUtf8(const std::string& name, std::string* utf8, std::string* why) {
  if (!IsUtf8(name)) {
    *why = "its name holds a character that is no Unicode character";
    return false;
  }
  *utf8 = name;
  return true;
}

}  // namespace platform
