// What the drive map's path lookup asks of the kept listings of folders (folder_listings.cpp).
// FolderChangeLock and the notes of changes, which the rest of the layer uses, are in drive_map.h.
#pragma once

#include <sys/stat.h>

#include <mutex>
#include <string>

namespace platform::posix {

// The lock of FolderChangeLock that a folder (a host path) is guarded by.
std::recursive_mutex* FolderLockOf(const std::string& folder);
bool StatFolder(const std::string& folder, struct stat* st);
// Case-insensitive lookup, in the folder's kept listing, of an element that does not exist under
// its exact name; the element itself when none matches. st is the folder's own stat. The caller
// holds the folder's FolderChangeLock.
std::string FindInListing(const std::string& folder, struct stat st, const std::string& element,
                          bool* found, bool* is_folder);
// Whether a host path names something, and whether that is a folder (through a link when it is
// one).
bool Exists(const std::string& path, bool* is_folder);
// Case-insensitive lookup of one element in a host folder; the element itself when none matches.
// *found says whether one exists, *is_folder whether it is a folder.
std::string FindElement(const std::string& folder, const std::string& element, bool* found,
                        bool* is_folder);

}  // namespace platform::posix
