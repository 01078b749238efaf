// Points the application's settings at the chart folder inside its user-files folder, where the
// restore puts the charts.
#include "app/file_maint.h"
#include "util/files.h"
#include "util/ini_file.h"

namespace app {

void TFileMaint::StoreChartFolderSetting() {
  if (!util::FileExistsChecked(SettingsPath)) return;
  util::IniFile settings(SettingsPath);
  // A settings file held by another program or failing to read is left as it is: written back,
  // it would hold this one key and lose every other setting of the user.
  if (!settings.Readable()) return;
  // The user-files layout keeps charts in a "Charts" folder of their own; older versions keep
  // them in the user-data folder itself.
  const std::string chart_folder =
      HasUserFilesLayout() ? base::AddBackslash(base::AddBackslash(UserDataFolder) + "Charts")
                           : UserDataFolder;
  settings.WriteString("Halvane", "ChartDataPath", chart_folder);
  // Version 9's list of recent charts names the old places; it would send the user there.
  if (HasVersion9) settings.EraseSection("ChartsMRU");
  // Written whole through a temporary file, comments kept; a failed write leaves the old file.
  settings.UpdateFile();
  ChartFolder = UserDataFolder;
}

}  // namespace app
