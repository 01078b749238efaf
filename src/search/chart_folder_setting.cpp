// Points the application's settings at the chart folder inside its user-files folder, where the
// restore puts the charts.
#include "search/chart_folder_setting.h"

#include "base/text.h"
#include "util/files.h"
#include "util/ini_file.h"

namespace search {
namespace {

// The folder the setting names: "Charts" in the user-files layout, else the user-data folder
// itself.
std::string ChartFolderForSetting(const locations::Locations& found) {
  return locations::HasUserFilesLayout()
             ? base::AddBackslash(base::AddBackslash(found.UserDataFolder) + "Charts")
             : found.UserDataFolder;
}

}  // namespace

std::optional<std::string> ChartFolderApart(const locations::Locations& found,
                                            bool auto_destination) {
  if (!auto_destination || found.ChartFolder == found.UserDataFolder ||
      found.UserDataFolder.empty()) {
    return std::nullopt;
  }
  return found.ChartFolder;
}

bool ChartFolderSettingDue(const locations::Locations& found, bool auto_destination) {
  return ChartFolderApart(found, auto_destination) && util::FileExistsChecked(found.SettingsPath);
}

std::string ChartFolderSettingNote(const locations::Locations& found) {
  return "The Halvane settings file " + found.SettingsPath +
         " will be pointed at the chart folder " + ChartFolderForSetting(found) +
         (locations::HasVersion9 ? ", and its list of recent charts will be cleared." : ".");
}

void StoreChartFolderSetting(locations::Locations& found) {
  if (!util::FileExistsChecked(found.SettingsPath)) return;
  util::IniFile settings(found.SettingsPath);
  // A settings file held by another program or failing to read is left as it is: written back,
  // it would hold this one key and lose every other setting of the user.
  if (!settings.Readable()) return;
  settings.WriteString("Halvane", "ChartDataPath", ChartFolderForSetting(found));
  // Version 9's list of recent charts names the old places; it would send the user there.
  if (locations::HasVersion9) settings.EraseSection("ChartsMRU");
  // Written whole through a temporary file, comments kept; a failed write leaves the old file.
  settings.UpdateFile();
  found.ChartFolder = found.UserDataFolder;
}

}  // namespace search
