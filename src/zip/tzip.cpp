#include "zip/tzip.h"

#include <algorithm>

#include "platform/platform.h"
#include "zip/progress_form.h"
#include "zip/zip_libraries.h"
#include "zipformat/byte_order.h"
#include "zipformat/zip_records.h"

namespace zip {
namespace {

using zipformat::CentralHeader;
using zipformat::EndRecord;

// What the system's temporary path may be at most before it counts as none.
constexpr size_t kMaxPath = 260;

std::string DefaultTempDir() {
  std::string temp = platform::GetTempPath();
  if (!temp.empty() && temp.size() <= kMaxPath) return temp;
  const std::string program = platform::GetModuleFileName();
  return base::FolderOf(program);
}

// The fields of a record kept as stored; all zero while it holds no record.
EndRecord FieldsOf(const std::array<uint8_t, TEOCHInfo::kSize>& record) {
  return EndRecord::Parse(record).value_or(EndRecord());
}

CentralHeader FieldsOf(const std::array<uint8_t, TFileInfo::kHeaderSize>& header) {
  return CentralHeader::Parse(header).value_or(CentralHeader());
}

}  // namespace

static_assert(TEOCHInfo::kSignature == EndRecord::kSignature &&
              TEOCHInfo::kSize == EndRecord::kSize);
static_assert(TFileInfo::kSignature == CentralHeader::kSignature &&
              TFileInfo::kHeaderSize == CentralHeader::kSize);

uint32_t TEOCHInfo::Signature() const { return zipformat::Get32(record.data()); }
uint16_t TEOCHInfo::ThisDisk() const { return FieldsOf(record).this_disk; }
uint16_t TEOCHInfo::CentralDirDisk() const { return FieldsOf(record).directory_disk; }
uint16_t TEOCHInfo::EntriesOnDisk() const { return FieldsOf(record).disk_entries; }
uint16_t TEOCHInfo::TotalEntries() const { return FieldsOf(record).total_entries; }
uint32_t TEOCHInfo::CentralDirSize() const { return FieldsOf(record).directory_size; }
uint32_t TEOCHInfo::CentralDirOffset() const { return FieldsOf(record).directory_offset; }
uint16_t TEOCHInfo::CommentLength() const { return FieldsOf(record).comment_length; }

void TEOCHInfo::SetCommentLength(uint16_t length) {
  EndRecord fields = FieldsOf(record);
  fields.comment_length = length;
  zipformat::Bytes bytes;
  fields.Append(&bytes);
  std::copy(bytes.begin(), bytes.end(), record.begin());
}

void TEOCHInfo::Reset() {
  zipformat::Bytes bytes;
  EndRecord().Append(&bytes);
  std::copy(bytes.begin(), bytes.end(), record.begin());
}

uint8_t TFileInfo::VersionMadeBy() const {
  return static_cast<uint8_t>(FieldsOf(header).version_made_by & 0xFF);
}
uint8_t TFileInfo::HostSystem() const { return FieldsOf(header).HostSystem(); }
uint16_t TFileInfo::Flags() const { return FieldsOf(header).flags; }
uint16_t TFileInfo::Method() const { return FieldsOf(header).method; }
int32_t TFileInfo::DosDateTime() const {
  const CentralHeader fields = FieldsOf(header);
  return static_cast<int32_t>(fields.dos_time | (static_cast<uint32_t>(fields.dos_date) << 16));
}
uint32_t TFileInfo::Crc() const { return FieldsOf(header).crc; }
uint32_t TFileInfo::CompressedSize() const { return FieldsOf(header).compressed_size; }
uint32_t TFileInfo::UncompressedSize() const { return FieldsOf(header).uncompressed_size; }
uint32_t TFileInfo::ExternalAttributes() const { return FieldsOf(header).external_attributes; }
uint32_t TFileInfo::LocalHeaderOffset() const { return FieldsOf(header).local_header_offset; }

TZip::TZip() : TempDir(DefaultTempDir()) { end_record_.Reset(); }

TZip::~TZip() { UnloadLibraries(); }

void TZip::FireContentsChanged() {
  if (OnContentsChanged) OnContentsChanged(*this);
}

void TZip::ZipFileName(const std::string& name) {
  Password.clear();
  OemNames = false;
  end_record_ = TEOCHInfo();
  end_record_.Reset();
  total_entries_ = directory_size_ = directory_offset_ = 0;
  directory_end_ = -1;
  Contents.clear();
  zip_file_name_ = name;
  if (!name.empty()) {
    const size_t colon = name.find(':');
    if (colon != std::string::npos) {
      const std::string root = name.substr(0, colon + 1) + "\\";
      const unsigned previous = platform::SetErrorMode(platform::kSemFailCriticalErrors);
      std::string label;
      uint32_t serial = 0;
      const bool ready = platform::GetVolumeInformation(root, &label, &serial);
      platform::SetErrorMode(previous);
      if (!ready) throw ZipException("Unable to access the selected drive!");
    }
    if (platform::GetFileAttributes(name) == platform::kInvalidAttributes) {
      TEOCHInfo empty;
      empty.Reset();
      std::unique_ptr<platform::File> file =
          platform::File::Open(name, platform::File::Mode::kCreateNew);
      if (!file || !file->Write(empty.record.data(), empty.record.size()) || !file->Flush()) {
        throw ZipException("Unable to create \n\"" + name + "\"");
      }
    }
    ReadDirectory();
  }
  FireContentsChanged();
}

void TZip::ZipComment(const std::string& comment) {
  if (MultipleDisk() || zip_file_name_.empty() || comment == end_record_.comment ||
      end_record_.position < 0) {
    return;
  }
  std::unique_ptr<platform::File> file =
      platform::File::Open(zip_file_name_, platform::File::Mode::kReadWrite);
  if (!file || !file->Seek(static_cast<uint64_t>(end_record_.position))) return;
  end_record_.comment = comment;
  std::string stored = OemNames ? platform::AnsiToOem(comment) : comment;
  // The length field has 16 bits; what does not fit is not written.
  stored.resize(std::min<size_t>(stored.size(), 0xFFFF));
  end_record_.SetCommentLength(static_cast<uint16_t>(stored.size()));
  if (!file->Write(end_record_.record.data(), end_record_.record.size())) return;
  if (file->Write(stored.data(), stored.size())) file->Truncate();
  file.reset();
  FireContentsChanged();
}

}  // namespace zip
