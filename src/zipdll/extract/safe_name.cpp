#include "zipdll/extract/safe_name.h"

#include <string_view>
#include <vector>

#include "base/wildcard.h"

namespace zipdll::extract {
namespace {

// Windows opens these as devices in any folder and with any extension ("nul.txt"). The serial
// and parallel ports take any one digit, also 0 and the superscripts 1, 2 and 3 of its code page
// (here in UTF-8), which a Linux file system keeps as ordinary names.
bool IsDeviceName(std::string_view element) {
  std::string_view base = element.substr(0, element.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (base::EqualNoCase(base, device)) return true;
  }
  if (base.size() < 4) return false;
  const std::string_view stem = base.substr(0, 3), digit = base.substr(3);
  if (!base::EqualNoCase(stem, "COM") && !base::EqualNoCase(stem, "LPT")) return false;
  if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
  // U+00B9, U+00B2 and U+00B3 in UTF-8.
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

// Characters Windows refuses in a name; ":" would also name a drive or an alternate data stream.
bool HasForbiddenCharacter(std::string_view element) {
  for (char c : element) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
    if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) return true;
  }
  return false;
}

bool Refuse(std::string* reason, const char* why) {
  *reason = why;
  return false;
}

std::string_view Trimmed(std::string_view element) {
  while (!element.empty() && (element.back() == '.' || element.back() == ' ')) {
    element.remove_suffix(1);
  }
  return element;
}

// Whether Windows makes a file or folder of exactly this name; *reason says why not.
bool WindowsTakes(std::string_view element, std::string* reason) {
  if (HasForbiddenCharacter(element)) {
    return Refuse(reason, "the name has a character that Windows does not allow");
  }
  if (IsDeviceName(element)) return Refuse(reason, "the name is a device name");
  // Windows would write "a.txt." as "a.txt": one name for two files, and not the one stored.
  if (Trimmed(element).size() != element.size()) {
    return Refuse(reason, "the name ends in a dot or a blank, which Windows drops");
  }
  return true;
}

}  // namespace

bool SafeRelativePath(const std::string& entry_name, bool keep_folders, std::string* relative,
                      std::string* reason) {
  std::string name = entry_name;
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  if (name.empty()) return Refuse(reason, "the name is empty");
  if (name.front() == '\\') return Refuse(reason, "the name is an absolute path");
  if (name.size() >= 2 && name[1] == ':') return Refuse(reason, "the name starts with a drive");

  const bool is_folder = name.back() == '\\';
  std::vector<std::string_view> elements;
  std::string_view rest(name);
  while (!rest.empty()) {
    const size_t split = rest.find('\\');
    std::string_view element = rest.substr(0, split);
    rest = split == std::string_view::npos ? std::string_view() : rest.substr(split + 1);
    if (element.empty() || element == ".") continue;
    // Windows drops trailing dots and blanks, so ".. " is ".." and "..." is no name at all.
    // Such an element is refused even in a folder that is dropped: the name means to climb.
    if (Trimmed(element).empty()) return Refuse(reason, "the name has a \"..\" element");
    elements.push_back(element);
  }
  // Only what is made on the drive must be a name Windows takes: with the folders dropped that
  // is the file's own name, so that "aux/x.cht" or "Clients: 2020/x.cht" still give "x.cht".
  const size_t first_made = keep_folders || elements.empty() ? 0 : elements.size() - 1;
  for (size_t i = first_made; i < elements.size(); ++i) {
    if (!WindowsTakes(elements[i], reason)) return false;
  }
  if (elements.empty()) {
    // "./" of some tools names the target folder itself: nothing to make, nothing to refuse.
    if (!is_folder) return Refuse(reason, "the name has no file name");
    relative->clear();
    return true;
  }

  relative->clear();
  if (!keep_folders) {
    if (!is_folder) relative->assign(elements.back());
    return true;
  }
  for (std::string_view element : elements) {
    if (!relative->empty()) *relative += '\\';
    relative->append(element);
  }
  if (is_folder) *relative += '\\';
  return true;
}

}  // namespace zipdll::extract
