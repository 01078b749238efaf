// Puts a file too large to hold in memory into the archive, read and compressed in pieces on the
// calling thread; the local header is completed once the data is written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "zipdll/add/zip_writer.h"

namespace zipdll::add {

enum class StreamResult {
  kAdded,
  kUnreadable,   // the file could not be read whole (it grew, or a read failed); nothing of it
                 // is left in the archive
  kRefused,      // the record does not fit the format (RecordMisfit); nothing was written
  kWriteFailed,  // the archive could not be written
  kStopped,      // progress answered false
};

// Adds file as an entry described by record (name, time, attributes), deflated at level (0 stores)
// unless that does not make it smaller; with a password, encrypts it. progress gets the bytes read
// since its last call, at most 64 KiB at a time, and stops the run by returning false. *size is set
// to the bytes stored. Reading stops at the size the file has on entry.
StreamResult StreamEntry(ZipWriter& writer, platform::File& file, CentralRecord record, int level,
                         const std::string* password, const std::function<bool(uint64_t)>& progress,
                         uint64_t* size);

}  // namespace zipdll::add
