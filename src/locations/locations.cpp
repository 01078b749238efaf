#include "locations/locations.h"

#include "base/text.h"
#include "util/files.h"
#include "util/ini_file.h"

namespace locations {
namespace {

constexpr char kSection[] = "Halvane";
constexpr char kUserFiles[] = "Halvane User Files";

}  // namespace

void ClearLocations(Locations& locations) {
  locations = Locations{};
  HalvaneVersion = 0;
  HasVersion7 = HasVersion8 = HasVersion9 = false;
}

void LocateApplication(const std::string& documents_folder, Locations& locations,
                       const std::function<std::string()>& windows_folder) {
  auto in_windows = [&](const std::string& name) {
    return base::AddBackslash(windows_folder ? windows_folder() : util::GetWindowsDir()) + name;
  };
  const std::string documents = base::AddBackslash(documents_folder);

  locations.SettingsPath = in_windows("Halvane9.INI");
  if (util::FileExistsChecked(locations.SettingsPath)) {
    HasVersion9 = true;
    HalvaneVersion = 9;
  } else {
    locations.SettingsPath = in_windows("Halvane8.INI");
    if (util::FileExistsChecked(locations.SettingsPath)) {
      HasVersion8 = true;
      HalvaneVersion = 8;
    } else {
      locations.SettingsPath = in_windows("Halvane7.INI");
    }
  }

  if (util::FileExistsChecked(locations.SettingsPath)) {
    // Versions 7 to 9: a small system file in the Windows folder, the rest under the documents.
    if (!HasVersion8 && !HasVersion9) HasVersion7 = true;
    if (HalvaneVersion < 7) HalvaneVersion = 7;
    locations.SystemDataFolder =
        util::IniFile(locations.SettingsPath).ReadString(kSection, "SystemDataPath");
    locations.UserDataFolder = documents + kUserFiles;
    locations.InterpFolder = documents + kUserFiles + "\\Interpretations";
    const char* user_file = HasVersion9   ? "Halvane9.INI"
                            : HasVersion8 ? "Halvane8.INI"
                                          : "Halvane7.INI";
    locations.SettingsPath = documents + kUserFiles + "\\Settings\\" + user_file;
    if (util::FileExistsChecked(locations.SettingsPath)) {
      locations.ChartFolder =
          util::IniFile(locations.SettingsPath).ReadString(kSection, "ChartDataPath");
    } else {
      locations.SettingsPath.clear();
    }
    return;
  }

  // Versions 4 to 6: one settings file in the Windows folder names every folder.
  int version = 6;
  for (; version >= 4; --version) {
    locations.SettingsPath = in_windows("Halvane" + base::IntToText(version) + ".INI");
    if (util::FileExistsChecked(locations.SettingsPath)) break;
  }
  if (version < 4) {
    locations.SettingsPath.clear();
    locations.SystemDataFolder.clear();
    HalvaneVersion = 0;
    return;
  }
  HalvaneVersion = version;
  util::IniFile settings(locations.SettingsPath);
  locations.InterpFolder = settings.ReadString(kSection, "InterpPath");
  locations.SystemDataFolder = settings.ReadString(kSection, "SystemDataPath");
  locations.ChartFolder = settings.ReadString(kSection, "ChartDataPath");
  locations.UserDataFolder = settings.ReadString(kSection, "UserDataPath");
}

}  // namespace locations
