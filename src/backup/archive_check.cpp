#include "backup/archive_check.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "base/scope_exit.h"
#include "platform/platform.h"
#include "zip/tzip.h"
#include "zip/zip_options.h"
#include "zipformat/end_records.h"
#include "zipformat/zip_records.h"

namespace backup {
namespace {

using zipformat::CentralHeader;
using zipformat::EndRecord;
using zipformat::LocalHeader;
using zipformat::Zip64EndLocator;
using zipformat::Zip64EndRecord;

// The attribute bits an entry keeps of its file: read-only, hidden, system, volume, folder,
// archive.
constexpr uint32_t kKeptAttributes = 0x3F;

bool ReadAt(platform::File& file, uint64_t position, void* out, size_t size) {
  return file.Seek(position) && file.ReadExact(out, size);
}

bool ReadBytes(platform::File& file, uint64_t position, size_t size, std::string* out) {
  out->assign(size, '\0');
  return size == 0 || ReadAt(file, position, out->data(), size);
}

// What the zip64 field of a header says in place of the fields that hold its marker.
struct Sizes {
  uint64_t compressed = 0, uncompressed = 0, offset = 0;
};

bool TrueSizes(const std::string& extra, uint32_t compressed, uint32_t uncompressed,
               std::optional<uint32_t> offset, Sizes* sizes) {
  constexpr uint32_t kMarker = zipformat::kZip64Marker32;
  sizes->compressed = compressed;
  sizes->uncompressed = uncompressed;
  sizes->offset = offset.value_or(0);
  const bool big_size = uncompressed == kMarker, big_compressed = compressed == kMarker,
             big_offset = offset && *offset == kMarker;
  if (!big_size && !big_compressed && !big_offset) return true;
  std::optional<zipformat::Zip64Extra> values;
  zipformat::ForEachExtraBlock(zipformat::AsBytes(extra), [&](const zipformat::ExtraBlock& block) {
    if (block.id == zipformat::Zip64Extra::kId && !values) {
      values = zipformat::Zip64Extra::Parse(block.data, big_size, big_compressed, big_offset);
    }
  });
  if (!values) return false;
  sizes->uncompressed = values->uncompressed_size.value_or(sizes->uncompressed);
  sizes->compressed = values->compressed_size.value_or(sizes->compressed);
  sizes->offset = values->local_header_offset.value_or(sizes->offset);
  return true;
}

// Extra fields that run exactly to their length.
bool WellFormed(const std::string& extra) {
  size_t covered = 0;
  zipformat::ForEachExtraBlock(zipformat::AsBytes(extra), [&](const zipformat::ExtraBlock& block) {
    covered += block.whole.size();
  });
  return covered == extra.size();
}

bool OnlyZip64(const std::string& extra) {
  bool only = true;
  zipformat::ForEachExtraBlock(zipformat::AsBytes(extra), [&](const zipformat::ExtraBlock& block) {
    only = only && block.id == zipformat::Zip64Extra::kId;
  });
  return only;
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

class DirectoryCheck {
 public:
  DirectoryCheck(platform::File& file, const std::string& comment, const AddedFiles& added)
      : file_(file), comment_(comment), added_(added) {}

  std::string Problem() {
    uint64_t size = 0;
    if (!file_.Size(&size)) return "it cannot be read";
    std::string problem = ReadEnd(size);
    if (!problem.empty()) return problem;
    uint64_t at = directory_offset_, next_local = 0;
    for (uint64_t i = 0; i < entries_; ++i) {
      problem = CheckEntry(&at, &next_local);
      if (!problem.empty()) return problem;
    }
    if (at != directory_end_ || next_local != directory_offset_) {
      return "its directory does not span the space its end record gives it";
    }
    if (matched_ != added_.size()) return "its directory does not hold every file added";
    return std::string();
  }

 private:
  // The end record with the comment handed over, and the zip64 records when its fields say so.
  std::string ReadEnd(uint64_t size) {
    const std::string stored_comment = comment_.substr(0, zipformat::kMaxFieldLength);
    if (size < EndRecord::kSize + stored_comment.size()) return "it is too short";
    const uint64_t end_position = size - EndRecord::kSize - stored_comment.size();
    uint8_t bytes[EndRecord::kSize];
    std::string comment;
    if (!ReadAt(file_, end_position, bytes, sizeof bytes) ||
        !ReadBytes(file_, end_position + EndRecord::kSize, stored_comment.size(), &comment)) {
      return "its end record cannot be read";
    }
    const std::optional<EndRecord> end = EndRecord::Parse(bytes);
    if (!end || end->comment_length != stored_comment.size()) return "its end record is damaged";
    if (comment != stored_comment) return "its comment is not the one written";
    if (end->this_disk != 0 || end->directory_disk != 0 ||
        end->disk_entries != end->total_entries) {
      return "its end record is damaged";
    }
    entries_ = end->total_entries;
    directory_offset_ = end->directory_offset;
    uint64_t directory_size = end->directory_size;
    directory_end_ = end_position;
    const bool zip64 = end->total_entries == zipformat::kZip64Marker16 ||
                       end->directory_size == zipformat::kZip64Marker32 ||
                       end->directory_offset == zipformat::kZip64Marker32;
    if (zip64) {
      const zipformat::ReadAt read = [this](uint64_t position, uint8_t* out, size_t length) {
        return ReadAt(file_, position, out, length);
      };
      const std::optional<Zip64EndLocator> locator =
          zipformat::ReadZip64Locator(read, end_position);
      if (!locator || end_position < Zip64EndLocator::kSize + Zip64EndRecord::kSize) {
        return "its zip64 end records are missing";
      }
      const uint64_t record_position =
          end_position - Zip64EndLocator::kSize - Zip64EndRecord::kSize;
      uint8_t record_bytes[Zip64EndRecord::kSize];
      if (locator->zip64_end_offset != record_position || locator->zip64_end_disk != 0 ||
          locator->total_disks != 1 ||
          !ReadAt(file_, record_position, record_bytes, sizeof record_bytes)) {
        return "its zip64 end records are damaged";
      }
      const std::optional<Zip64EndRecord> record = Zip64EndRecord::Parse(record_bytes);
      if (!record || record->this_disk != 0 || record->directory_disk != 0 ||
          record->disk_entries != record->total_entries ||
          record->record_size != Zip64EndRecord::kSize - Zip64EndRecord::kSizeFieldEnd) {
        return "its zip64 end record is damaged";
      }
      entries_ = record->total_entries;
      directory_offset_ = record->directory_offset;
      directory_size = record->directory_size;
      directory_end_ = record_position;
    }
    if (directory_offset_ > directory_end_ ||
        directory_end_ - directory_offset_ != directory_size) {
      return "its end record does not give the directory's place";
    }
    return std::string();
  }

  // One central header at *at and the local header it points at, which must be the next one
  // after the entries before it (*next_local): the adding library writes them back to back.
  std::string CheckEntry(uint64_t* at, uint64_t* next_local) {
    uint8_t bytes[CentralHeader::kSize];
    if (*at + sizeof bytes > directory_end_ || !ReadAt(file_, *at, bytes, sizeof bytes)) {
      return "its directory ends before its last entry";
    }
    const std::optional<CentralHeader> central = CentralHeader::Parse(bytes);
    if (!central) return "its directory is damaged";
    std::string name, extra, entry_comment;
    uint64_t position = *at + CentralHeader::kSize;
    if (!ReadBytes(file_, position, central->name_length, &name) ||
        !ReadBytes(file_, position + name.size(), central->extra_length, &extra) ||
        !ReadBytes(file_, position + name.size() + extra.size(), central->comment_length,
                   &entry_comment)) {
      return "its directory cannot be read";
    }
    *at = position + name.size() + extra.size() + entry_comment.size();
    const std::string shown = Quoted(name);
    Sizes sizes;
    if (!TrueSizes(extra, central->compressed_size, central->uncompressed_size,
                   central->local_header_offset, &sizes) ||
        !WellFormed(extra) || !entry_comment.empty() || central->disk_start != 0 ||
        central->internal_attributes != 0) {
      return "the directory's header of " + shown + " is damaged";
    }
    if (sizes.offset != *next_local) return "the directory misplaces " + shown;
    // One writer made every entry: a header that names another system (whose names are read in
    // another code page) was damaged.
    if (!made_by_) made_by_ = central->version_made_by;
    if (central->version_made_by != *made_by_) {
      return "the directory's header of " + shown + " names another system";
    }

    uint8_t local_bytes[LocalHeader::kSize];
    if (!ReadAt(file_, sizes.offset, local_bytes, sizeof local_bytes)) {
      return "the local header of " + shown + " cannot be read";
    }
    const std::optional<LocalHeader> local = LocalHeader::Parse(local_bytes);
    std::string local_name, local_extra;
    if (!local ||
        !ReadBytes(file_, sizes.offset + LocalHeader::kSize, local->name_length, &local_name) ||
        !ReadBytes(file_, sizes.offset + LocalHeader::kSize + local_name.size(),
                   local->extra_length, &local_extra)) {
      return "the local header of " + shown + " is damaged";
    }
    Sizes local_sizes;
    const bool descriptor = local->flags & zipformat::kFlagDataDescriptor;
    if (!TrueSizes(local_extra, local->compressed_size, local->uncompressed_size, std::nullopt,
                   &local_sizes) ||
        !WellFormed(local_extra) || local_name != name ||
        local->version_needed != central->version_needed || local->flags != central->flags ||
        local->method != central->method || local->dos_time != central->dos_time ||
        local->dos_date != central->dos_date ||
        (!descriptor && (local->crc != central->crc || local_sizes.compressed != sizes.compressed ||
                         local_sizes.uncompressed != sizes.uncompressed))) {
      return "the local header of " + shown + " does not match the directory";
    }
    // What follows the data: a descriptor, with or without its signature, repeats the three.
    uint64_t data_end = sizes.offset + LocalHeader::kSize + local_name.size() + local_extra.size() +
                        sizes.compressed;
    if (descriptor) {
      std::string tail;
      if (!ReadBytes(file_, data_end, zipformat::DataDescriptor::kLargestSize, &tail)) {
        return "the data of " + shown + " is cut short";
      }
      data_end += DescriptorLength(tail, *central, sizes);
      if (data_end == 0) return "the data descriptor of " + shown + " is damaged";
    }
    *next_local = data_end;

    return CompareWithFile(name, extra, local_extra, *central, sizes, shown);
  }

  // The length of a data descriptor that repeats the header's values, or 0 (which makes the
  // caller's end 0: no archive ends there).
  static uint64_t DescriptorLength(const std::string& tail, const CentralHeader& central,
                                   const Sizes& sizes) {
    const zipformat::ByteSpan bytes = zipformat::AsBytes(tail);
    for (const bool zip64 : {false, true}) {
      const std::optional<zipformat::DataDescriptor> d =
          zipformat::DataDescriptor::Parse(bytes, zip64);
      if (d && d->crc == central.crc && d->compressed_size == sizes.compressed &&
          d->uncompressed_size == sizes.uncompressed) {
        zipformat::Bytes written;
        d->Append(&written, zip64);
        if (std::equal(written.begin(), written.end(), bytes.begin())) return written.size();
      }
    }
    return 0;
  }

  // The date, attributes and size of the file an entry was made from, as the library was given
  // them.
  std::string CompareWithFile(const std::string& name, const std::string& extra,
                              const std::string& local_extra, const CentralHeader& central,
                              const Sizes& sizes, const std::string& shown) {
    std::string key = name;
    for (char& c : key) {
      if (c == '/') c = '\\';
    }
    const auto found = added_.find(key);
    if (found == added_.end()) return std::string();
    ++matched_;
    // Nothing but the sizes the format needs was handed over for a new file.
    if (!OnlyZip64(extra) || !OnlyZip64(local_extra)) {
      return "the extra fields of " + shown + " are damaged";
    }
    const std::string& path = found->second;
    const uint32_t date_time = (static_cast<uint32_t>(central.dos_date) << 16) | central.dos_time;
    if (static_cast<int32_t>(date_time) != platform::GetFileAge(path)) {
      return "the date of " + shown + " is not that of " + path;
    }
    const uint32_t attributes = platform::GetFileAttributes(path);
    if (attributes == platform::kInvalidAttributes ||
        central.external_attributes != (attributes & kKeptAttributes)) {
      return "the attributes of " + shown + " are not those of " + path;
    }
    std::unique_ptr<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
    uint64_t size = 0;
    if (!file || !file->Size(&size) || size != sizes.uncompressed) {
      return "the size of " + shown + " is not that of " + path;
    }
    return std::string();
  }

  platform::File& file_;
  const std::string& comment_;
  const AddedFiles& added_;
  uint64_t entries_ = 0, directory_offset_ = 0, directory_end_ = 0;
  size_t matched_ = 0;
  std::optional<uint16_t> made_by_;
};

}  // namespace

std::string DirectoryProblem(const std::string& path, const std::string& comment,
                             const AddedFiles& added) {
  std::unique_ptr<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) return "it cannot be opened";
  return DirectoryCheck(*file, comment, added).Problem();
}

EntriesRead ReadBackEntries(zip::TZip& zip) {
  const base::ScopeExit put_back([&zip, options = zip.ExtrOptions, folder = zip.ExtrBaseDir] {
    zip.ExtrOptions = options;
    zip.ExtrBaseDir = folder;
  });
  zip.ExtrOptions = zip::kExtrTestOnly;  // nothing is written
  zip.ExtrBaseDir.clear();
  zip.FileSpecs.clear();
  EntriesRead read;
  const command::RunWatch watch(zip);
  read.tested = zip.Extract();
  read.cancelled = zip.Cancelled;
  read.skips = watch.skips();
  read.failure = watch.failure();
  return read;
}

}  // namespace backup
