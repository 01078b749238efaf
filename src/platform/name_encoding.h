// The names of files as an archive stores them: in UTF-8, flagged so. A name of bytes that are no
// UTF-8 (a Linux file named in an older code page) flagged as UTF-8 is an archive some tools
// refuse to open at all.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Whether text is well-formed UTF-8 (no overlong forms, nothing past U+10FFFF).
bool IsUtf8(std::string_view text);

// The name of a file in UTF-8: the name itself when it is UTF-8, else converted from the code
// page the system gives to names. False, with *why in plain words, when it is in none.
bool NameAsUtf8(const std::string& name, std::string* utf8, std::string* why);

}  // namespace platform
