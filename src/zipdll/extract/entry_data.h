// Reads one entry's data from the archive: decrypts it, inflates it and checks it against the
// central directory. Works in fixed-size pieces whatever the archive declares, and never yields
// more than the declared size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "zipdll/common/zip_reader.h"

namespace zipdll::extract {

enum class EntryDataResult {
  kOk,
  kCrcMismatch,  // every byte delivered, but the CRC differs
  kDamaged,      // the data cannot be decoded or disagrees with the declared sizes
  kUnsupported,  // a compression method or encryption this engine does not read
  kSinkFailed,   // the sink refused the data (a write failed)
};

// Receives the entry's bytes in order; false stops the read.
using EntrySink = std::function<bool(const uint8_t* data, size_t size)>;

// True when password passes the check byte of the entry's encryption header. A wrong password
// passes by chance once in 256 times; the CRC catches those.
bool PasswordFits(platform::File& file, uint64_t data_offset, const EntryInfo& entry,
                  const std::string& password);

// Delivers the entry's uncompressed bytes to sink. password is used for encrypted entries. On a
// failure *detail says what went wrong.
EntryDataResult ReadEntryData(platform::File& file, uint64_t data_offset, const EntryInfo& entry,
                              const std::string& password, const EntrySink& sink,
                              std::string* detail);

}  // namespace zipdll::extract
