// How long a path the system makes files and folders at. Names from an archive can be far longer
// than any drive takes; such a name is turned away with its reason before anything is planned or
// made for it.
#pragma once

#include <string>

namespace platform {

// Whether a file or folder can be made at path as far as its length goes: the whole path, and each
// element of it, within what the system takes. False with *why in plain words otherwise.
bool PathFits(const std::string& path, std::string* why);

}  // namespace platform
