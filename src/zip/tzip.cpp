#include "zip/tzip.h"

#include <algorithm>

#include "platform/platform.h"
#include "zip/progress_form.h"
#include "zip/zip_libraries.h"
#include "zipdll/zip_format.h"

namespace zip {

using zipdll::Get16;
using zipdll::Get32;
using zipdll::Store16;
using zipdll::Store32;
namespace {

// What the system's temporary path may be at most before it counts as none.
constexpr size_t kMaxPath = 260;

std::string DefaultTempDir() {
  std::string temp = platform::GetTempPath();
  if (!temp.empty() && temp.size() <= kMaxPath) return temp;
  const std::string program = platform::GetModuleFileName();
  return util::FolderOf(program);
}

}  // namespace

uint32_t TEOCHInfo::Signature() const { return Get32(&record[0]); }
uint16_t TEOCHInfo::ThisDisk() const { return Get16(&record[4]); }
uint16_t TEOCHInfo::CentralDirDisk() const { return Get16(&record[6]); }
uint16_t TEOCHInfo::EntriesOnDisk() const { return Get16(&record[8]); }
uint16_t TEOCHInfo::TotalEntries() const { return Get16(&record[10]); }
uint32_t TEOCHInfo::CentralDirSize() const { return Get32(&record[12]); }
uint32_t TEOCHInfo::CentralDirOffset() const { return Get32(&record[16]); }
uint16_t TEOCHInfo::CommentLength() const { return Get16(&record[20]); }
void TEOCHInfo::SetCommentLength(uint16_t length) { Store16(&record[20], length); }

void TEOCHInfo::Reset() {
  record.fill(0);
  Store32(&record[0], kSignature);
}

uint16_t TFileInfo::Flags() const { return Get16(&header[8]); }
uint16_t TFileInfo::Method() const { return Get16(&header[10]); }
int32_t TFileInfo::DosDateTime() const {
  return static_cast<int32_t>(Get16(&header[12]) |
                              (static_cast<uint32_t>(Get16(&header[14])) << 16));
}
uint32_t TFileInfo::Crc() const { return Get32(&header[16]); }
uint32_t TFileInfo::CompressedSize() const { return Get32(&header[20]); }
uint32_t TFileInfo::UncompressedSize() const { return Get32(&header[24]); }
uint32_t TFileInfo::ExternalAttributes() const { return Get32(&header[38]); }
uint32_t TFileInfo::LocalHeaderOffset() const { return Get32(&header[42]); }

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
