// Start-up of RidideDuvure. Until the main window exists this reports, on the console, what the
// program finds on this machine: its drives, the Windows and documents folders, and the installed
// astrology application.
#include <cstdio>
#include <string>

#include "app/locations/locations.h"
#include "platform/platform.h"
#include "util/files.h"

namespace {

const char* DriveTypeName(unsigned type) {
  switch (type) {
    case platform::kDriveRemovable:
      return "removable";
    case platform::kDriveFixed:
      return "fixed";
    case platform::kDriveRemote:
      return "network";
    case platform::kDriveCdrom:
      return "CD-ROM";
    case platform::kDriveRamdisk:
      return "RAM disk";
    default:
      return "unknown";
  }
}

void PrintField(const char* name, const std::string& value) {
  std::printf("  %-17s %s\n", name, value.empty() ? "(none)" : value.c_str());
}

}  // namespace

int main() {
  std::printf("RidideDuvure\n\nDrives:\n");
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    const unsigned type = platform::GetDriveType(root);
    if (type == platform::kDriveNoRootDir || type == platform::kDriveUnknown) continue;
    std::string label;
    platform::GetVolumeInformation(root, &label, nullptr);
    std::printf("  %s  %-2u %-10s %s\n", root.c_str(), type, DriveTypeName(type), label.c_str());
  }

  const std::string documents = util::GetDocumentsDir();
  std::printf("\nFolders:\n");
  PrintField("Windows", util::GetWindowsDir());
  PrintField("Documents", documents);

  app::Locations locations;
  app::ClearLocations(locations);
  app::LocateApplication(documents, locations);
  if (app::HalvaneVersion == 0) {
    std::printf("\nHalvane: no installation found\n");
    return 0;
  }
  std::printf("\nHalvane %d%s:\n", app::HalvaneVersion,
              app::HasUserFilesLayout() ? " (user files layout)" : "");
  PrintField("Settings file", locations.SettingsPath);
  PrintField("Chart folder", locations.ChartFolder);
  PrintField("System data", locations.SystemDataFolder);
  PrintField("Interpretations", locations.InterpFolder);
  PrintField("User data", locations.UserDataFolder);
  return 0;
}
