#include "restore_fixture.h"

#include <algorithm>

#include "platform/platform.h"
#include "zip/tzip.h"

namespace app {
namespace {

// The Yes/No box a restore asks before it writes anything.
bool IsRestoreQuestion(const ui::headless::ShownMessage& box) {
  const std::string ending = "Restore now?";
  return (box.flags & 0xF) == ui::kMbYesNo && box.text.size() >= ending.size() &&
         box.text.compare(box.text.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace

int32_t DosTime(int year, int month, int day, int hour, int minute) {
  const uint32_t date = ((year - 1980) << 9) | (month << 5) | day;
  const uint32_t time = (hour << 11) | (minute << 5);
  return static_cast<int32_t>((date << 16) | time);
}

std::string RestoreTest::Put(const std::string& relative, const std::string& contents,
                             int32_t age) {
  const std::string path = temp_.Write(relative, contents);
  EXPECT_TRUE(platform::SetFileAge(path, age)) << path;
  return path;
}

void RestoreTest::MakeArchive(const std::string& archive, const base::StringList& specs,
                              uint8_t options, const std::string& comment) {
  for (size_t at = archive.find('\\', 3); at != std::string::npos;
       at = archive.find('\\', at + 1)) {
    platform::CreateDirectory(archive.substr(0, at));
  }
  platform::DeleteFile(archive);
  zip::TZip zip;
  zip.ShowProgressDialog = false;
  zip.ZipFileName(archive);
  zip.ZipComment(comment);
  zip.AddOptions = options;
  zip.FileSpecs = specs;
  EXPECT_GT(zip.Add(), 0) << archive;
}

std::vector<std::string> RestoreTest::FilesIn(const std::string& folder) {
  std::vector<platform::FindEntry> entries;
  std::vector<std::string> names;
  platform::FindFiles(base::AddBackslash(folder) + "*", &entries);
  for (const auto& entry : entries) {
    if (!(entry.attributes & platform::kAttrDirectory)) names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RestoreTest::FolderNameOnDisk(const std::string& parent, const std::string& name) {
  std::vector<platform::FindEntry> entries;
  platform::FindFiles(base::AddBackslash(parent) + name, &entries);
  for (const auto& entry : entries) {
    if (entry.attributes & platform::kAttrDirectory) return entry.name;
  }
  return std::string();
}

std::string RestoreTest::Contents(const std::string& path) {
  std::string contents;
  platform::ReadWholeFile(path, &contents);
  return contents;
}

RestoreTest::RestoreTest() {
  toolkit_.answer_of = [this](const ui::headless::ShownMessage& box) -> std::optional<int> {
    if (!IsRestoreQuestion(box)) return std::nullopt;
    questions_.push_back(box.text);
    return question_answer_;
  };
}

std::vector<std::string> RestoreTest::Messages() const {
  std::vector<std::string> texts;
  for (const ui::headless::ShownMessage& box : toolkit_.messages) {
    if (!IsRestoreQuestion(box)) texts.push_back(box.text);
  }
  return texts;
}

void RestoreTest::PrepareRestore(const std::string& source, const std::string& destination,
                                 bool user_data) {
  ASSERT_TRUE(Mode().Select(1));
  // A click on an option box applies the mode again, so the folders are typed afterwards.
  if (Check("HVBackupCB").checked != user_data) {
    ASSERT_TRUE(Check("HVBackupCB").Click());
  }
  Edit("ESource").Type(source);
  if (!destination.empty()) {
    if (Check("AutoDest").checked) {
      ASSERT_TRUE(Check("AutoDest").Click());
    }
    Edit("EDest").Type(destination);
  }
}

void RestoreTest::RestoreFrom(const std::string& source, const std::string& destination,
                              bool user_data) {
  PrepareRestore(source, destination, user_data);
  ASSERT_TRUE(Button("RestoreButt").Click());
}

}  // namespace app
