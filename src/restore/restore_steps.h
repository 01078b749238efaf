// What the two halves of the Restore command share: the chart patterns, the extraction of one
// pattern list into the component's target folder, and the busy cursor of a step.
#pragma once

#include <cstdint>
#include <string>

#include "app/file_maint.h"
#include "base/text.h"
#include "ui/toolkit.h"
#include "zip/zip_options.h"

namespace app::restore {

// Update and freshen: an existing file is replaced only by a newer member, without a prompt.
inline constexpr uint8_t kUpdateOptions = zip::kExtrUpdate | zip::kExtrFreshen;
// The same, with the stored folders recreated below the target folder.
inline constexpr uint8_t kUpdateWithFoldersOptions = kUpdateOptions | zip::kExtrRecreateFolders;
static_assert(kUpdateOptions == 0x03 && kUpdateWithFoldersOptions == 0x13);

// The members a chart restore takes. The backup writes its second companion file as ".XN0", which
// no other pattern names: the last entry brings those back too.
const util::StringList& ChartPatterns();

// Extracts the members of the open archive that match one of patterns into the component's
// ExtrBaseDir. FoundFiles holds the patterns afterwards, as long as the window still has its lists.
void ExtractMatching(TFileMaint& window, const util::StringList& patterns);

// The user-data step after a chart archive: restores "RUDadoze.zev" from the source folder by
// category, or onto the drive its comment names. False when there is no such archive (the user
// has been told, and the command ends).
bool RestoreUserData(TFileMaint& window);

}  // namespace app::restore
