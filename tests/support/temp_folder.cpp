#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"

namespace test_support {
namespace {

void MakeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    platform::CreateDirectory(path.substr(0, at));
  }
}

}  // namespace

void RemoveTree(const std::string& folder) {
  std::string base = folder;
  if (base.empty()) return;
  // An extraction leaves its target as the current folder, and Windows keeps the current folder
  // from being removed.
  platform::SetCurrentDirectory(platform::GetTempPath());
  if (base.back() != '\\') base += '\\';
  std::vector<platform::FindEntry> entries;
  platform::FindFiles(base + "*", &entries);
  for (const platform::FindEntry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    if (entry.attributes & platform::kAttrDirectory) {
      RemoveTree(base + entry.name);
    } else {
      platform::SetFileAttributes(base + entry.name, 0);
      platform::DeleteFile(base + entry.name);
    }
  }
  platform::RemoveDirectory(base.substr(0, base.size() - 1));
}

TempFolder::TempFolder() {
  const std::string temp = platform::GetTempPath();
  // A unique name from the platform, turned from a file into a folder.
  std::string unique = platform::GetTempFileName(temp, "rdt");
  if (unique.empty() || !platform::DeleteFile(unique) || !platform::CreateDirectory(unique)) {
    ADD_FAILURE() << "cannot make a temporary folder in \"" << temp << "\"";
  }
  path_ = unique + "\\";
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string TempFolder::Write(const std::string& relative, const std::string& contents) const {
  const std::string full = path_ + relative;
  MakeFolders(full);
  EXPECT_TRUE(platform::WriteWholeFileSafely(full, contents)) << full;
  return full;
}

std::string TempFolder::MakeFolder(const std::string& relative) const {
  std::string full = path_ + relative;
  if (full.back() != '\\') full += '\\';
  MakeFolders(full);
  return full;
}

std::string TempFolder::Read(const std::string& relative) const {
  std::string contents;
  platform::ReadWholeFile(path_ + relative, &contents);
  return contents;
}

}  // namespace test_support
