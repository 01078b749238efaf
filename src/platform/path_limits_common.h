// The check behind PathFits, with the limits each system gives it.
#pragma once

#include <string>
#include <string_view>

namespace platform::internal {

// length measures a text in the system's units.
inline bool WithinLimits(const std::string& path, size_t (*length)(std::string_view),
                         size_t longest_path, size_t longest_element, const char* unit,
                         std::string* why) {
  if (length(path) > longest_path) {
    *why = "its path would be " + std::to_string(length(path)) + " " + unit +
           " long, more than the " + std::to_string(longest_path) + " this system allows";
    return false;
  }
  std::string_view rest(path);
  while (!rest.empty()) {
    const size_t split = rest.find('\\');
    if (length(rest.substr(0, split)) > longest_element) {
      *why = "a folder or file name in it is longer than the " + std::to_string(longest_element) +
             " " + unit + " this system allows";
      return false;
    }
    rest = split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);
  }
  return true;
}

}  // namespace platform::internal
