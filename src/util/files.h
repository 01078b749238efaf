// Drive, folder and file operations. None of them reports an error: a failure gives an empty
// text, false or an empty list, or is ignored, and the caller tests what it needs afterwards.
#pragma once

#include <string>

#include "base/text.h"
#include "platform/cause.h"

namespace util {

// The first drive, from Z: down to C: (A:, B: and Q: are never looked at), of the given type, as
// "X:\"; empty when there is none.
std::string FindDriveOfType(unsigned drive_type);

// A shell folder by its CSIDL code; empty when the platform cannot say.
std::string GetShellFolder(int csidl);
// The user's documents folder.
std::string GetDocumentsDir();
// The Windows folder, as the platform returns it (normally without a trailing backslash).
std::string GetWindowsDir();

// True when a file (not a folder) of that name exists. Looks at the first 255 characters only, and
// answers false for a name without a single letter or digit without asking the platform.
bool FileExistsChecked(const std::string& name);

// Creates one folder when it does not exist yet.
void MakeFolder(const std::string& folder);

// Creates every missing folder along path, each with an upper-case name. Drive roots are never
// created; failures are ignored and the whole path is walked regardless.
void MakeFolderPath(const std::string& path);

// Appends folder + name + "\" for each subfolder of folder (first 255 characters of it), in the
// order the platform lists them. The list is not emptied first.
// With files, *files also gets the names of the folder's files (as ListFiles gives them for
// folder + "*.*"), from the one listing.
// Returns why the folder could not be listed, or kNone when it was (an empty folder too).
platform::Cause AddSubfolderNames(const std::string& folder, base::StringList& list,
                                  base::StringList* files = nullptr);

// Names, without folder, of the files that match a mask such as "C:\Charts\*.cht", hidden and
// read-only ones included, folders excluded.
base::StringList ListFiles(const std::string& mask);

// Copies source over destination, then gives the destination exactly these attributes (low 8
// bits) when it has others. A read-only destination refuses the copy, but loses its read-only
// attribute here, so a second call replaces it.
// False when the copy failed, with platform::LastCause saying why.
bool CopyFileSetAttr(const std::string& source, const std::string& destination,
                     uint32_t attributes);

}  // namespace util
