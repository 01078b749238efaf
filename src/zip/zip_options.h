// The switches of TZip::AddOptions and TZip::ExtrOptions, one bit each. The numbers are the ones
// callers of the component have always passed, so they never change; combine them with |.
#pragma once

#include <cstdint>

namespace zip {

// AddOptions.
// Replace only entries already in the archive (ignored when kAddUpdate is set).
inline constexpr uint8_t kAddFreshen = 0x01;
// Add new files and replace entries older than their file.
inline constexpr uint8_t kAddUpdate = 0x02;
// Walk into subfolders; the entries keep their folder names.
inline constexpr uint8_t kAddRecurse = 0x04;
// Relative file specs get AddBaseDir put in front; the entries keep their folder names.
inline constexpr uint8_t kAddRelativeToBase = 0x08;
// Store an entry for each folder as well.
inline constexpr uint8_t kAddFolderEntries = 0x10;
// Take hidden and system files too.
inline constexpr uint8_t kAddHiddenSystem = 0x40;
// Store names in DOS 8.3 form.
inline constexpr uint8_t kAddDosNames = 0x80;
// Either of these keeps the folder part of each name.
inline constexpr uint8_t kAddKeepFolderNames = kAddRecurse | kAddRelativeToBase;

// ExtrOptions.
// Overwrite an existing file only when it is older than the member.
inline constexpr uint8_t kExtrUpdate = 0x01;
// Write only files that exist already (ignored when kExtrUpdate is set).
inline constexpr uint8_t kExtrFreshen = 0x02;
// Read every member and check it; nothing is written (ignored with update or freshen).
inline constexpr uint8_t kExtrTestOnly = 0x04;
// Ask before overwriting a file (only without update and freshen).
inline constexpr uint8_t kExtrAskOverwrite = 0x08;
// Recreate the stored folders below the target folder.
inline constexpr uint8_t kExtrRecreateFolders = 0x10;
// Either of these decides an overwrite by the ages of file and member, without asking.
inline constexpr uint8_t kExtrByAge = kExtrUpdate | kExtrFreshen;

// What a new TZip starts with.
inline constexpr uint8_t kDefaultAddOptions = kAddUpdate;
inline constexpr uint8_t kDefaultExtrOptions = kExtrUpdate;
static_assert(kDefaultAddOptions == 0x02 && kDefaultExtrOptions == 0x01);

}  // namespace zip
