// Reads an archive's central directory and finds each entry's data, trusting nothing the archive
// says about itself: every position and size is checked against the file before it is used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zipdll {

struct EntryInfo {
  // As stored, converted to UTF-8: bit 11 or the 0x7075 extra field give UTF-8, else code page
  // 437. "/" is kept as stored.
  std::string name;
  uint16_t version_made_by = 0, version_needed = 0, flags = 0, method = 0, dos_time = 0,
           dos_date = 0;
  uint32_t crc = 0, external_attributes = 0;
  uint16_t internal_attributes = 0;
  uint64_t compressed_size = 0, uncompressed_size = 0;  // zip64 extra applied
  uint64_t local_header_offset = 0;                     // absolute position in the file
  std::string extra, comment;

  bool IsFolder() const;
  bool IsEncrypted() const;
  // Encrypted with WinZip AES: method 99 stands in the headers, the real method in a 0x9901 extra
  // field. This engine does not derive the keys that needs.
  bool IsAesEncrypted() const;
  // Date in the high word, time in the low word, as the platform's file ages take it.
  int32_t DosDateTime() const;
};

struct Directory {
  std::vector<EntryInfo> entries;
  std::string comment;         // the archive comment, bytes as stored
  uint64_t archive_start = 0;  // bytes of other data in front of the archive (self-extractors)
  uint64_t directory_start = 0, end_record_position = 0;
  bool zip64 = false;
  // Local header positions of all entries, ascending: where each entry's data must end.
  std::vector<uint64_t> sorted_offsets;
};

// Reads end record (zip64 locator and record when present), the comment and every central header,
// all bounds-checked against the file size. False with a clear message.
bool ReadDirectory(platform::File& file, Directory* directory, std::string* error);

// Checks an entry's local header and returns where its (possibly encrypted) data begins; refuses
// data that lies outside the archive, runs into the next entry or overlaps the directory.
bool EntryDataOffset(platform::File& file, const Directory& directory, const EntryInfo& entry,
                     uint64_t* offset, std::string* error);

// True when the local header of entry says what the directory says of it: the method, the CRC
// (unless a data descriptor follows the data) and the name (when it is stored as UTF-8 or plain
// ASCII, so that both are the same bytes). Readers that stream an archive go by the local
// headers, so a damaged one is a damaged entry. False with a message otherwise.
bool LocalHeaderAgrees(platform::File& file, const EntryInfo& entry, std::string* error);

}  // namespace zipdll
