#include "util/files.h"

#include <vector>

#include "platform/platform.h"

namespace util {
namespace {

constexpr size_t kShortTextLength = 255;

// MakeFolderPath keeps bytes of 0x80 and above (the letters of non-English folder names, in
// UTF-8) and drops only the control characters; then trims blanks as CleanText does.
std::string CleanPathText(const std::string& text) {
  std::string out;
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) out += c;
  }
  return base::TrimLeadingSpaces(base::TrimTrailingSpaces(out));
}

bool IsDriveRoot(const std::string& folder) {
  return folder.size() == 3 && folder[1] == ':' && folder[2] == '\\';
}

}  // namespace

std::string FindDriveOfType(unsigned drive_type) {
  for (char letter = 'Z'; letter >= 'C'; --letter) {
    if (letter == 'Q') continue;
    std::string root = std::string(1, letter) + ":\\";
    if (platform::GetDriveType(root) == drive_type) return root;
  }
  return std::string();
}

std::string GetShellFolder(int csidl) { return platform::GetShellFolderPath(csidl); }

std::string GetDocumentsDir() { return GetShellFolder(platform::kCsidlPersonal); }

std::string GetWindowsDir() { return platform::GetWindowsDirectory(); }

bool FileExistsChecked(const std::string& name) {
  std::string short_name = name.substr(0, kShortTextLength);
  if (base::KeepAlphaNum(short_name).empty()) return false;
  return platform::FileExists(short_name);
}

void MakeFolder(const std::string& folder) {
  if (!platform::FolderExists(folder)) platform::CreateDirectory(folder);
}

void MakeFolderPath(const std::string& path) {
  std::string rest = base::StripTrailing('\\', CleanPathText(base::UpperText(path)));
  std::string built;
  while (!rest.empty()) {
    size_t slash = rest.find('\\');
    size_t p = slash == std::string::npos ? rest.size() : slash;  // length of the next element
    built += rest.substr(0, p);
    std::string folder = base::AddBackslash(built);
    if (!IsDriveRoot(folder)) MakeFolder(folder);
    if (slash == std::string::npos) {
      rest.clear();
    } else {
      rest.erase(0, p + 1);
      built += '\\';
    }
  }
}

platform::Cause AddSubfolderNames(const std::string& folder, base::StringList& list,
                                  base::StringList* files) {
  const std::string base = base::AddBackslash(folder.substr(0, kShortTextLength));
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(base + "*.*", &entries, platform::FindDetail::kNamesAndKinds)) {
    return platform::LastCause();
  }
  for (platform::FindEntry& entry : entries) {
    if (!(entry.attributes & platform::kAttrDirectory)) {
      if (files) files->push_back(std::move(entry.name));
      continue;
    }
    if (entry.name == "." || entry.name == "..") continue;
    list.push_back(base + entry.name + "\\");
  }
  return platform::Cause::kNone;
}

base::StringList ListFiles(const std::string& mask) {
  base::StringList names;
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(mask, &entries, platform::FindDetail::kNamesAndKinds)) return names;
  for (const platform::FindEntry& entry : entries) {
    if (!(entry.attributes & platform::kAttrDirectory)) names.push_back(entry.name);
  }
  return names;
}

bool CopyFileSetAttr(const std::string& source, const std::string& destination,
                     uint32_t attributes) {
  const bool copied = platform::CopyFile(source, destination, false);
  const platform::Cause cause = platform::LastCause();
  uint32_t current = platform::GetFileAttributes(destination);
  if ((current & 0xFF) != attributes) platform::SetFileAttributes(destination, attributes);
  if (!copied) platform::SetLastCause(cause);
  return copied;
}

}  // namespace util
