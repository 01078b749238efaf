#include "backup_fixture.h"

#include "base/text.h"
#include "platform/platform.h"
#include "zip/tzip.h"

namespace app {

void BackupTest::RunBackup(const std::string& source, const std::string& destination,
                           bool user_data) {
  if (!window_) Open();
  if (Check("HVBackupCB").checked != user_data) {
    ASSERT_TRUE(Check("HVBackupCB").Click());
  }
  ASSERT_TRUE(Edit("ESource").Type(source));
  ASSERT_TRUE(Edit("EDest").Type(destination));
  ASSERT_TRUE(Button("BackupButt").Click());
}

std::vector<std::string> BackupTest::Entries(const std::string& archive) const {
  std::vector<std::string> names;
  zip::TZip zip;
  try {
    zip.ZipFileName(archive);
  } catch (const std::exception& error) {
    ADD_FAILURE() << archive << ": " << error.what();
    return names;
  }
  for (const zip::TFileInfo& info : zip.Contents) names.push_back(info.FileName);
  return names;
}

std::string BackupTest::Comment(const std::string& archive) const {
  zip::TZip zip;
  try {
    zip.ZipFileName(archive);
  } catch (const std::exception& error) {
    ADD_FAILURE() << archive << ": " << error.what();
    return std::string();
  }
  return zip.ZipComment();
}

std::string BackupTest::EntryName(const std::string& path) { return path.substr(3); }

std::string BackupTest::Bytes(const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) return "<missing>";
  return bytes;
}

std::vector<std::string> BackupTest::FilesIn(const std::string& folder) {
  std::vector<platform::FindEntry> entries;
  platform::FindFiles(base::AddBackslash(folder) + "*", &entries);
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    if (!(entry.attributes & platform::kAttrDirectory)) names.push_back(entry.name);
  }
  return names;
}

}  // namespace app
