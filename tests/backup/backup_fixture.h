// Shared by the Backup tests: the window, a source tree, and the archives it writes.
#pragma once

#include <string>
#include <vector>

#include "app/window_fixture.h"

namespace app {

class BackupTest : public WindowTest {
 protected:
  // Opens the window with the user-data option as asked, types source and destination as the
  // user would (no trailing backslash) and clicks Backup.
  void RunBackup(const std::string& source, const std::string& destination, bool user_data);

  // The entry names of an archive, in their order, and its comment, read with the program's own
  // archive component. Empty names and a failure when it cannot be opened.
  std::vector<std::string> Entries(const std::string& archive) const;
  std::string Comment(const std::string& archive) const;

  // The name an entry gets for a full path: the path without its drive.
  static std::string EntryName(const std::string& path);

  // The whole file, or "<missing>".
  static std::string Bytes(const std::string& path);

  // Names of the files (not folders) directly in folder.
  static std::vector<std::string> FilesIn(const std::string& folder);
};

}  // namespace app
