// The program's work files: the new archive until it is checked, the adding library's archive
// while it is written, the component's copy of the archive it adds to, a file being extracted,
// a copy on its way. Each name starts with a prefix no other program's or user's file has, so
// that what a killed run left behind can be removed, and nothing else ever is.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform {

inline constexpr char kWorkFilePrefix[] = "~ridideduvure-";

// "~ridideduvure-<role>-<16 hex digits>.tmp", the digits drawn at random.
std::string WorkFileName(const std::string& role);

// Makes and opens a new work file in folder (with its trailing backslash), where no file of that
// name is; *path names it. Null when the folder takes no new file.
std::unique_ptr<File> CreateWorkFile(const std::string& folder, const std::string& role,
                                     std::string* path);

// Deletes the work files in folder that no process has open: what runs that were killed left.
void RemoveLeftWorkFiles(const std::string& folder);

}  // namespace platform
