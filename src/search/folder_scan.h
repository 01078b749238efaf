// Listing a folder's files against several masks at once.
#pragma once

#include <cstddef>
#include <string>

#include "base/text.h"

namespace search {

// Appends AddBackslash(folder) + name to found for each file of folder that matches one of the
// first mask_count masks: by mask, then in the order the folder lists its files, exactly as one
// listing per mask would give them. The folder is listed once and the masks are matched in
// memory, so a search with many masks costs one listing per folder, not one per mask. A folder
// that cannot be listed adds nothing.
// A matching name that no Windows path can hold (a Linux name with "\" or ":") would name another
// file, or none: it goes to *unusable instead, when given, and is left out either way.
void AppendMatchingFiles(const std::string& folder, const base::StringList& masks,
                         size_t mask_count, base::StringList& found,
                         base::StringList* unusable = nullptr);

// The same for names already listed from folder, in the order it lists them.
void AppendMatchingNames(const std::string& folder, const base::StringList& names,
                         const base::StringList& masks, size_t mask_count, base::StringList& found,
                         base::StringList* unusable = nullptr);

// The progress bar's position after the (index + 1)-th of count folders: the percentage rounded
// to the nearest whole number, a half going to the even neighbour.
int FolderProgress(size_t index, size_t count);

}  // namespace search
