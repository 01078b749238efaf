// Reading the archive's end record and central directory, and the disks of a multiple-disk
// archive.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "ui/toolkit.h"
#include "zip/tzip.h"
#include "zipformat/byte_order.h"
#include "zipformat/end_records.h"
#include "zipformat/zip_records.h"

namespace zip {
namespace {

using zipformat::CentralHeader;
using zipformat::Zip64EndLocator;
using zipformat::Zip64EndRecord;

// The end record lies within the last 64 KiB: 22 bytes and a comment of up to 65535 - 22 bytes.
constexpr uint64_t kEndRecordSearch = 65535;
constexpr unsigned kMaxDiskNumber = 1000;

constexpr uint8_t kHostMsDos = 0;
constexpr uint8_t kHostOs2Hpfs = 6;
constexpr uint8_t kHostNtfs = 11;

std::unique_ptr<platform::File> OpenForReading(const std::string& name) {
  return platform::File::Open(name, platform::File::Mode::kRead);
}

[[noreturn]] void ThrowNotValid(const std::string& name) {
  throw ZipException("\"" + name + "\"\nis not a valid Zip file.");
}

bool ReadText(platform::File& file, size_t length, std::string* text) {
  text->assign(length, '\0');
  return length == 0 || file.ReadExact(text->data(), length);
}

// Reads a file front to back through a buffer, so that the small fields of a directory cost one
// read of the file per 64 KiB rather than three per entry.
class BufferedReader {
 public:
  explicit BufferedReader(platform::File& file) { Reset(file); }

  // Reads on from where file is now, forgetting what was read ahead of the last file.
  void Reset(platform::File& file) {
    file_ = &file;
    start_ = file.Position();
    buffer_.clear();
    at_ = 0;
  }
  // Exactly size bytes, as File::ReadExact; false on an error or a short file.
  bool ReadExact(void* out, size_t size) {
    while (buffer_.size() - at_ < size) {
      buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at_));
      start_ += at_;
      at_ = 0;
      const size_t had = buffer_.size();
      buffer_.resize(had + std::max(kChunk, size - had));
      size_t got = 0;
      const bool read = file_->Read(buffer_.data() + had, buffer_.size() - had, &got);
      buffer_.resize(had + got);
      if (!read || got == 0) return false;
    }
    std::copy_n(buffer_.data() + at_, size, static_cast<uint8_t*>(out));
    at_ += size;
    return true;
  }
  bool ReadText(size_t length, std::string* text) {
    text->assign(length, '\0');
    return length == 0 || ReadExact(text->data(), length);
  }
  // The position in the file of the next byte this reader gives.
  uint64_t Position() const { return start_ + at_; }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  platform::File* file_ = nullptr;
  uint64_t start_ = 0;  // the position of buffer_[0]
  std::vector<uint8_t> buffer_;
  size_t at_ = 0;
};

zipformat::ReadAt ReaderOf(platform::File& file) {
  return [&file](uint64_t position, uint8_t* out, size_t size) {
    return file.Seek(position) && file.ReadExact(out, size);
  };
}

}  // namespace

// The listing takes the signature nearest the end, whatever its comment length says: an archive
// whose comment was cut short still lists.
int64_t TZip::LocateEndRecord(platform::File& file) {
  uint64_t size = 0;
  if (!file.Size(&size) || size < zipformat::EndRecord::kSize) return -1;
  // Most archives have no comment: their record is the last 22 bytes.
  uint8_t last[zipformat::EndRecord::kSize];
  if (file.Seek(size - zipformat::EndRecord::kSize) && file.ReadExact(last, sizeof last) &&
      zipformat::EndRecord::Parse(last)) {
    return static_cast<int64_t>(size - zipformat::EndRecord::kSize);
  }
  const uint64_t length = std::min(size, kEndRecordSearch);
  std::vector<uint8_t> buffer(static_cast<size_t>(length));
  if (!file.Seek(size - length) || !file.ReadExact(buffer.data(), buffer.size())) return -1;
  const std::optional<size_t> at =
      zipformat::FindEndRecord(buffer, [](size_t, const zipformat::EndRecord&) { return true; });
  return at ? static_cast<int64_t>(size - length + *at) : -1;
}

void TZip::ReadDirectory() {
  Contents.clear();
  if (zip_file_name_.empty()) return;
  std::unique_ptr<platform::File> file = OpenForReading(zip_file_name_);
  if (!file) ThrowNotValid(zip_file_name_);
  int64_t position = LocateEndRecord(*file);
  while (position < 0) {
    file.reset();
    const int disk = DiskLabelNumber(zip_file_name_);
    if (disk == 0) ThrowNotValid(zip_file_name_);
    char text[200];
    snprintf(text, sizeof text,
             "This is [ Disk %d ] of a multiple disk Zip file.\nInsert the last disk of the Zip "
             "file before pressing [ OK ] to continue ...",
             disk);
    ui::Toolkit& toolkit = ui::CurrentToolkit();
    if (toolkit.MessageBox(text, toolkit.ApplicationTitle(),
                           ui::kMbOkCancel | ui::kMbIconInformation) != ui::kIdOk) {
      return;
    }
    file = OpenForReading(zip_file_name_);
    if (!file) ThrowNotValid(zip_file_name_);
    position = LocateEndRecord(*file);
  }

  end_record_.position = position;
  if (!file->Seek(static_cast<uint64_t>(position)) ||
      !file->ReadExact(end_record_.record.data(), end_record_.record.size())) {
    ThrowNotValid(zip_file_name_);
  }
  if (end_record_.ThisDisk() > kMaxDiskNumber || end_record_.CentralDirDisk() > kMaxDiskNumber) {
    ThrowNotValid(zip_file_name_);
  }
  std::string comment;
  if (!ReadText(*file, end_record_.CommentLength(), &comment)) comment.clear();
  end_record_.comment = OemNames ? platform::OemToAnsi(comment) : comment;

  total_entries_ = end_record_.TotalEntries();
  directory_size_ = end_record_.CentralDirSize();
  directory_offset_ = end_record_.CentralDirOffset();
  directory_end_ = position;
  ReadZip64EndRecord(*file);

  // A directory of exactly 65536 entries counts 0 in the 16-bit record, and is there all the same.
  if (total_entries_ != 0 || (!MultipleDisk() && directory_size_ != 0)) {
    const bool here = end_record_.CentralDirDisk() == end_record_.ThisDisk();
    if (here || AwaitDisk(zip_file_name_, end_record_.CentralDirDisk() + 1)) {
      if (!here) file = OpenForReading(zip_file_name_);
      if (!file || !ReadCentralHeaders(file)) {
        Contents.clear();
        throw ZipException("Error reading CentralFileHeader.");
      }
    }
  }
}

// Archives past 65535 entries or 4 GiB keep their true counts in a second, larger end record
// that a locator just in front of the 32-bit one points at. Without it such an archive would list
// a wrong number of entries, or none. Some writers (Info-ZIP zip reading a stream) put the two
// records there although the 32-bit fields hold the values: the directory then ends where the
// larger record begins, so it is read whenever it is there.
bool TZip::ReadZip64EndRecord(platform::File& file) {
  if (end_record_.position < 0) return false;
  const uint64_t end_position = static_cast<uint64_t>(end_record_.position);
  const zipformat::ReadAt read = ReaderOf(file);
  const std::optional<Zip64EndLocator> locator = zipformat::ReadZip64Locator(read, end_position);
  if (!locator) return false;
  // The record normally ends where the locator begins; the stored offset is tried first, as it
  // is right when nothing was put in front of the archive and the record has extra data.
  const uint64_t locator_position = end_position - Zip64EndLocator::kSize;
  const std::optional<zipformat::Zip64End> found = zipformat::FindZip64End(
      read, locator_position, *locator, zipformat::Zip64Places::kStoredFirst,
      [locator_position](uint64_t position, const Zip64EndRecord& record) {
        return zipformat::EndsAtLocator(position, record, locator_position);
      });
  if (!found) return false;
  total_entries_ = found->record.total_entries;
  directory_size_ = found->record.directory_size;
  directory_offset_ = found->record.directory_offset;
  directory_end_ = static_cast<int64_t>(found->position);
  return true;
}

bool TZip::ReadCentralHeaders(std::unique_ptr<platform::File>& file) {
  const bool multiple = MultipleDisk();
  uint64_t start = directory_offset_;
  if (!multiple) {
    if (directory_end_ < 0 || directory_size_ > static_cast<uint64_t>(directory_end_)) {
      return false;
    }
    start = static_cast<uint64_t>(directory_end_) - directory_size_;
  }
  if (!file->Seek(start)) return false;
  BufferedReader reader(*file);
  // Writers of the 16-bit end record alone store the count of a larger directory modulo 65536:
  // the headers go on past the count, and are read on to the end of the directory, as other tools
  // do. A directory that cannot be so reconciled with its count is refused, never cut short.
  const bool may_read_on = !multiple && directory_end_ == end_record_.position;
  const auto left = [&] { return static_cast<uint64_t>(directory_end_) - reader.Position(); };
  uint64_t index = 0;
  for (; index < total_entries_ || (may_read_on && left() > 0); ++index) {
    TFileInfo info;
    if (index >= total_entries_) {
      uint8_t signature[4];
      if (left() < info.header.size() || !reader.ReadExact(signature, sizeof signature)) break;
      std::copy_n(signature, sizeof signature, info.header.data());
      if (zipformat::Get32(signature) != CentralHeader::kSignature ||
          !reader.ReadExact(info.header.data() + 4, info.header.size() - 4)) {
        break;
      }
    }
    while (index < total_entries_ && !reader.ReadExact(info.header.data(), info.header.size())) {
      if (!multiple) return false;
      const int disk = DiskLabelNumber(zip_file_name_);
      if (disk == 0 || disk > end_record_.ThisDisk()) return false;
      // The directory goes on at the start of the next disk's file.
      file.reset();
      if (!AwaitDisk(zip_file_name_, disk + 1)) return false;
      file = OpenForReading(zip_file_name_);
      if (!file) return false;
      reader.Reset(*file);
    }
    const std::optional<CentralHeader> fields = CentralHeader::Parse(info.header);
    if (!fields) return false;
    if (index == 0) {
      const uint8_t host = info.HostSystem();
      OemNames = host == kHostMsDos || host == kHostOs2Hpfs ||
                 (host == kHostNtfs && info.VersionMadeBy() == 50);
    }
    std::string name;
    if (!reader.ReadText(fields->name_length, &name)) return false;
    if (OemNames) name = platform::OemToAnsi(name);
    for (char& c : name) {
      if (c == '/') c = '\\';
    }
    info.FileName = std::move(name);
    if (!reader.ReadText(fields->extra_length, &info.ExtraField)) return false;
    if (!reader.ReadText(fields->comment_length, &info.FileComment)) return false;
    if (OemNames) info.FileComment = platform::OemToAnsi(info.FileComment);
    // On a single disk every header lies within the directory: one that runs on into the end
    // record or past it would read differently once the comment there is rewritten.
    if (!multiple && reader.Position() > static_cast<uint64_t>(directory_end_)) return false;
    info.Encrypted = (fields->flags & zipformat::kFlagEncrypted) != 0;
    Contents.push_back(std::move(info));
  }
  if (index != total_entries_ && (index % 0x10000 != total_entries_ || left() > 0)) {
    Contents.clear();
    throw ZipException("\"" + zip_file_name_ + "\"\nis damaged: its central directory holds " +
                       std::to_string(index) + " entries where its end record counts " +
                       std::to_string(total_entries_) + ".");
  }
  return true;
}

int TZip::DiskLabelNumber(const std::string& name) {
  const uint32_t attributes = platform::GetFileAttributes(name);
  if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttrDirectory) ||
      name.size() < 2 || name[1] != ':') {
    return 0;
  }
  const std::string root = name.substr(0, 2) + "\\";
  if (platform::GetDriveType(root) != platform::kDriveRemovable) return 0;
  const unsigned previous = platform::SetErrorMode(platform::kSemFailCriticalErrors);
  std::string label;
  uint32_t serial = 0;
  const bool read = platform::GetVolumeInformation(root, &label, &serial);
  platform::SetErrorMode(previous);
  static const std::string kPrefix = "PKBACK# ";
  if (!read || label.compare(0, kPrefix.size(), kPrefix) != 0) return 0;
  const std::string digits = label.substr(kPrefix.size(), 3);
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

bool TZip::AwaitDisk(const std::string& name, int n) {
  ui::Toolkit& toolkit = ui::CurrentToolkit();
  while (DiskLabelNumber(name) != n) {
    char text[200];
    snprintf(text, sizeof text,
             "Insert [ Disk %d ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to "
             "continue ...",
             n);
    if (toolkit.MessageBox(text, toolkit.ApplicationTitle(),
                           ui::kMbOkCancel | ui::kMbIconInformation) != ui::kIdOk) {
      return false;
    }
  }
  return true;
}

}  // namespace zip
