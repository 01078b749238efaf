// The main window in Restore mode over the test's own drive C:, with helpers that write files of
// a known age, pack them into archives with the real engine, and read back what a restore wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/window_fixture.h"
#include "base/text.h"
#include "util/files.h"
#include "zip/zip_options.h"

namespace app {

// A DOS date and time (local), as file ages are kept.
int32_t DosTime(int year, int month, int day, int hour, int minute);

class RestoreTest : public WindowTest {
 protected:
  // The question a restore asks before it writes is answered with question_answer_ and kept in
  // questions_, out of Messages().
  RestoreTest();
  std::vector<std::string> Messages() const;
  std::vector<std::string> questions_;
  int question_answer_ = ui::kIdYes;

  // The options the Backup command writes its two archives with.
  static constexpr uint8_t kChartOptions =
      zip::kAddRecurse | zip::kAddFolderEntries | zip::kAddHiddenSystem;
  static constexpr uint8_t kUserDataOptions = kChartOptions | zip::kAddRelativeToBase;

  // Writes a file below temp_ with the given age; returns its full path.
  std::string Put(const std::string& relative, const std::string& contents, int32_t age);

  // Creates archive (deleted first) from the file specs with the add options and comment.
  void MakeArchive(const std::string& archive, const base::StringList& specs, uint8_t options,
                   const std::string& comment);

  // The names of the files directly in folder, sorted; empty when it does not exist.
  static std::vector<std::string> FilesIn(const std::string& folder);
  // The name a subfolder of parent has on disk (matched without regard to case); empty if none.
  static std::string FolderNameOnDisk(const std::string& parent, const std::string& name);
  static std::string Contents(const std::string& path);

  // Switches the window to Restore, sets the user-files box, types the source folder and, when
  // destination is not empty, turns Auto off and types it.
  void PrepareRestore(const std::string& source, const std::string& destination, bool user_data);
  // The same, then a click on Restore.
  void RestoreFrom(const std::string& source, const std::string& destination = "",
                   bool user_data = false);

  std::string UserFiles() const { return DocumentsFolder() + "Halvane User Files\\"; }
};

}  // namespace app
