// Turns an entry name from an archive into a path below the target folder, or refuses it. An
// archive is foreign input: a name may try to climb out of the target, name another drive, a
// network share or a device. Such names are refused whether or not folders are recreated.
#pragma once

#include <string>

namespace zipdll::extract {

// On success *relative is the Windows path to write below the target: the stored folders joined
// by "\" when keep_folders is set, else the bare file name ("" for a folder entry that is not
// kept, and for "./", the target itself). On refusal *reason says why, in a few words.
bool SafeRelativePath(const std::string& entry_name, bool keep_folders, std::string* relative,
                      std::string* reason);

}  // namespace zipdll::extract
