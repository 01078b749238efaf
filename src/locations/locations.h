// Where the astrology application keeps its data, learnt from its settings files.
#pragma once

#include <functional>
#include <string>

namespace locations {

// Folders of the installed application, held by the main window. Folder values read from a
// settings file are kept as they stand, with or without a trailing backslash.
struct Locations {
  std::string ChartFolder;
  std::string SystemDataFolder;
  std::string InterpFolder;
  std::string UserDataFolder;
  std::string SettingsPath;  // the settings file that names the chart folder; empty when missing
};

// Process-wide version state: 0 or 4 to 9, and which of the user-files versions is installed.
inline int HalvaneVersion = 0;
inline bool HasVersion7 = false;
inline bool HasVersion8 = false;
inline bool HasVersion9 = false;

// True in the user-files layout (versions 7 to 9), where the application keeps its data in
// category folders below UserDataFolder.
inline bool HasUserFilesLayout() { return HasVersion7 || HasVersion8 || HasVersion9; }

// Resets the fields and the version state to "nothing found".
void ClearLocations(Locations& locations);

// Finds the newest installed version, 9 down to 4, by its settings files in the Windows folder
// and, for 7 to 9, the user settings file below documents_folder, and fills locations and the
// version state. Expects them cleared. windows_folder is asked afresh for each file name; it is
// the platform's Windows folder unless a caller has its own.
void LocateApplication(const std::string& documents_folder, Locations& locations,
                       const std::function<std::string()>& windows_folder = nullptr);

}  // namespace locations
