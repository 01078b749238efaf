// Points the application's settings at the chart folder inside its user-files folder, where the
// restore puts the charts.
#include "app/file_maint.h"
#include "util/files.h"
#include "util/ini_file.h"

namespace app {

bool TFileMaint::ChartFolderSettingDue() const {
  return AutoDest->Checked() && ChartFolder != UserDataFolder && !UserDataFolder.empty() &&
         util::FileExistsChecked(SettingsPath);
}

std::string TFileMaint::ChartFolderForSetting() const {
  return HasUserFilesLayout() ? util::AddBackslash(util::AddBackslash(UserDataFolder) + "Charts")
                              : UserDataFolder;
}

std::string TFileMaint::ChartFolderSettingNote() const {
  return "The Halvane settings file " + SettingsPath + " will be pointed at the chart folder " +
         ChartFolderForSetting() +
         (HasVersion9 ? ", and its list of recent charts will be cleared." : ".");
}

void TFileMaint::StoreChartFolderSetting() {
  if (!util::FileExistsChecked(SettingsPath)) return;
  util::IniFile settings(SettingsPath);
  // A settings file held by another program or failing to read is left as it is: written back,
  // it would hold this one key and lose every other setting of the user.
  if (!settings.Readable()) return;
  settings.WriteString("Halvane", "ChartDataPath", ChartFolderForSetting());
  // Version 9's list of recent charts names the old places; it would send the user there.
  if (HasVersion9) settings.EraseSection("ChartsMRU");
  // Written whole through a temporary file, comments kept; a failed write leaves the old file.
  settings.UpdateFile();
  ChartFolder = UserDataFolder;
}

}  // namespace app
