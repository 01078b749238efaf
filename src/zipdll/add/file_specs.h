// Turns the file specs of an add (files, folders and wildcard masks) into the list of files and
// folders to store, with the names they get inside the archive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cause.h"
#include "zipdll/call_interface.h"

namespace zipdll::add {

struct SpecOptions {
  bool recurse = false;                // masks and folders take matching files in every subfolder
  bool include_hidden_system = false;  // else hidden and system files are skipped
  bool folder_entries = false;         // store an entry for each folder
  bool drop_folder_names = false;      // store the bare file name
  bool force_dos_names = false;        // store 8.3 upper-case names
};

// One file or folder to store.
struct SourceFile {
  std::string path;  // Windows path to read it from (a folder's without a trailing backslash)
  std::string name;  // name in the archive, "/" between folders; a folder's ends with "/"
  bool is_folder = false;
  uint64_t size = 0;
  int32_t dos_time = 0;     // last write, local DOS date and time
  uint32_t attributes = 0;  // platform kAttr* bits
};

// Something a file file_spec could not take, to be reported once the batch has begun.
struct SkippedItem {
  std::string what;  // the file_spec or the file
  SkipReason reason;
  std::string message;
  platform::Cause cause = platform::Cause::kNone;  // of the system call that failed, if one did
};

// Expands one file file_spec. A relative file file_spec is taken below root when root is not empty
// ("C:\Data\", with a trailing backslash), else below the current folder. Stored names keep the
// folders of the file file_spec below root (or, outside root, the whole path without its drive);
// never "..". Devices, pipes and sockets are skipped with kSkipNotStorable; a folder is walked
// once however many links lead to it.
void ExpandFileSpec(const std::string& file_spec, const std::string& root,
                    const SpecOptions& options, std::vector<SourceFile>* files,
                    std::vector<SkippedItem>* skipped);

// Removes later duplicates of a stored name (without regard to case), reporting those that come
// from a different file, and with force_dos_names turns every element of every name into an 8.3
// name that is unique in its folder. Names longer than the format holds are skipped with
// kSkipNotStorable.
void FinishNames(const SpecOptions& options, std::vector<SourceFile>* files,
                 std::vector<SkippedItem>* skipped);

// One path element as an 8.3 upper-case name; the same element when it is one already.
// taken holds the upper-case names already used in the folder; the result is added to it.
std::string DosName(const std::string& element, std::vector<std::string>* taken);

}  // namespace zipdll::add
