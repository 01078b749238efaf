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
  // A unique name from the platform, kept as a file while the folder beside it lives: deleted at
  // once, the name could be handed to another test program running beside this one before the
  // folder is made.
  reserved_ = platform::GetTempFileName(temp, "rdt");
  const std::string folder = reserved_ + ".d";
  if (reserved_.empty() || !platform::CreateDirectory(folder)) {
    ADD_FAILURE() << "cannot make a temporary folder in \"" << temp << "\"";
  }
  path_ = folder + "\\";
}

TempFolder::~TempFolder() {
  RemoveTree(path_);
  if (!reserved_.empty()) platform::DeleteFile(reserved_);
}

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
