// With Auto, a restore points the application's settings at the chart folder inside the user-data
// folder when its chart folder is elsewhere: whether it would now, the sentence that tells the
// user so, and the change itself.
#pragma once

#include <optional>
#include <string>

#include "locations/locations.h"

namespace search {

// With Auto, the application's chart folder when the user-data folder is another one: a search
// for loose chart files takes it in too, and the restore points the setting away from it.
std::optional<std::string> ChartFolderApart(const locations::Locations& found,
                                            bool auto_destination);
bool ChartFolderSettingDue(const locations::Locations& found, bool auto_destination);
std::string ChartFolderSettingNote(const locations::Locations& found);
// Writes the setting, and takes the new chart folder into found.
void StoreChartFolderSetting(locations::Locations& found);

}  // namespace search
