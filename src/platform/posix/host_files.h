// What the Linux layer's services share below the platform interface: host paths and their
// status as Windows would describe them, DOS times, whole writes, the opening of regular files
// and the temporary file a replacement is written to first.
#pragma once

#include <sys/stat.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/handles.h"

namespace platform::posix {

// Fails a call with errno set to error, for the layer's own refusals: false.
bool Refuse(int error);
std::string LastElement(const std::string& host);
std::string ParentFolder(const std::string& host);
// lstat, through a link to what it names when there is something.
bool StatHost(const std::string& host, struct stat* st);
bool IsHostFolder(const std::string& host);
bool IsDriveRoot(int folder_fd);
bool IsReadOnly(const struct stat& st);
bool IsSpecial(const struct stat& st);
// The Windows attributes of a host entry named name.
uint32_t Attributes(const std::string& name, const struct stat& st);
bool WriteAll(int fd, const char* data, size_t size);
bool RefusesReplacement(const std::string& host);

// DOS date and time in local time (dos_time_posix.cpp); -1 when it cannot be told.
int32_t ToDosTime(time_t when);
time_t FromDosTime(int32_t dos_time);

// A regular file opened with flags, or none (file_posix.cpp).
Descriptor OpenRegularFile(const std::string& host, int flags, struct stat* st);

// A work file beside target, and its flush and rename over target (temp_files_posix.cpp).
Descriptor CreateTempBeside(const std::string& target, std::string* temp);
bool CommitTemp(Descriptor fd, const std::string& temp, const std::string& target);
// Gives up a work file after a failed step: closes and removes it, and fails with the errno the
// step left.
bool DiscardTemp(Descriptor fd, const std::string& temp);

}  // namespace platform::posix
