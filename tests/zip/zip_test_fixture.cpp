#include "zip_test_fixture.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "platform/platform.h"
#include "zipdll/common/zip_crypto.h"
#include "zipdll/common/zip_reader.h"
#include "zipformat/zip_records.h"

namespace zip_test {
namespace {

void Append16(std::string& out, uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void Append32(std::string& out, uint32_t value) {
  Append16(out, static_cast<uint16_t>(value));
  Append16(out, static_cast<uint16_t>(value >> 16));
}

void Append64(std::string& out, uint64_t value) {
  Append32(out, static_cast<uint32_t>(value));
  Append32(out, static_cast<uint32_t>(value >> 32));
}

constexpr uint32_t kDosTime = (45u << 25) | (6u << 21) | (15u << 16) | (12u << 11) | (30u << 5);

}  // namespace

void ZipTest::SetUp() {
  ui::SetToolkit(&toolkit_);
  saved_current_ = platform::GetCurrentDirectory();
}

void ZipTest::TearDown() {
  // The runs make their folders current; give the folder back before it is removed.
  platform::SetCurrentDirectory(saved_current_);
  ui::SetToolkit(nullptr);
}

std::string ZipTest::MakeArchive(const std::string& name,
                                 const std::vector<std::pair<std::string, std::string>>& files,
                                 const std::string& password) {
  std::vector<std::string> paths;
  for (const auto& [file, contents] : files) paths.push_back(temp_.Write(file, contents));
  return AddToArchive(name, paths, password);
}

std::string ZipTest::AddToArchive(const std::string& name, const std::vector<std::string>& paths,
                                  const std::string& password) {
  zip::TZip zip;
  zip.ShowProgressDialog = false;
  zip.ZipFileName(temp_ / name);
  zip.Password = password;
  zip.FileSpecs = paths;
  zip.AddOptions = zip::kAddUpdate;
  EXPECT_EQ(zip.Add(), static_cast<int>(paths.size()));
  EXPECT_EQ(zip.Contents.size(), paths.size());
  toolkit_.messages.clear();
  toolkit_.progress_log.clear();
  return temp_ / name;
}

std::string ZipTest::ReadBytes(const std::string& path) const {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(path, &bytes)) << path;
  return bytes;
}

void ZipTest::WriteBytes(const std::string& path, const std::string& bytes) const {
  EXPECT_TRUE(platform::WriteWholeFileSafely(path, bytes)) << path;
}

std::vector<std::string> ZipTest::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& message : toolkit_.messages) texts.push_back(message.text);
  return texts;
}

std::string RefusedPassword(const std::string& archive, const std::string& entry_name,
                            const std::string& base) {
  std::unique_ptr<platform::File> file = platform::File::Open(archive, platform::File::Mode::kRead);
  zipdll::Directory directory;
  std::string error;
  if (!file || !zipdll::ReadDirectory(*file, &directory, &error)) {
    ADD_FAILURE() << archive << ": " << error;
    return base;
  }
  for (const zipdll::EntryInfo& entry : directory.entries) {
    if (entry.name != entry_name) continue;
    uint64_t offset = 0;
    uint8_t sealed[zipformat::kEncryptionHeaderSize];
    if (!entry.IsEncrypted() ||
        !zipdll::EntryDataOffset(*file, directory, entry, &offset, &error) || !file->Seek(offset) ||
        !file->ReadExact(sealed, sizeof sealed)) {
      ADD_FAILURE() << entry_name << " has no encryption header to read " << error;
      return base;
    }
    // The check byte is the CRC's high byte, or the time's when a data descriptor follows.
    const bool by_time = entry.flags & zipformat::kFlagDataDescriptor;
    for (int n = 0;; ++n) {
      const std::string candidate = n == 0 ? base : base + std::to_string(n);
      uint8_t header[sizeof sealed];
      std::copy(std::begin(sealed), std::end(sealed), header);
      zipdll::TraditionalCipher(candidate).Decrypt(header, sizeof header);
      const uint8_t check = header[sizeof header - 1];
      if (check != static_cast<uint8_t>(entry.crc >> 24) &&
          !(by_time && check == static_cast<uint8_t>(entry.dos_time >> 8))) {
        return candidate;
      }
    }
  }
  ADD_FAILURE() << entry_name << " is not in " << archive;
  return base;
}

std::string BuildArchive(const std::vector<HandEntry>& entries, const HandLayout& layout) {
  std::string out;
  std::vector<uint32_t> offsets;
  for (const HandEntry& entry : entries) {
    offsets.push_back(static_cast<uint32_t>(out.size()));
    const uint32_t crc = zipdll::Crc32(0, entry.data.data(), entry.data.size());
    Append32(out, 0x04034B50);
    Append16(out, 20);
    Append16(out, 0);  // flags
    Append16(out, 0);  // stored
    Append32(out, kDosTime);
    Append32(out, crc);
    Append32(out, static_cast<uint32_t>(entry.data.size()));
    Append32(out, static_cast<uint32_t>(entry.data.size()));
    Append16(out, static_cast<uint16_t>(entry.name.size()));
    Append16(out, 0);
    out += entry.name + entry.data;
  }
  const size_t directory_at = out.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    const HandEntry& entry = entries[i];
    Append32(out, 0x02014B50);
    out += static_cast<char>(entry.made_by);
    out += static_cast<char>(entry.host);
    Append16(out, 20);
    Append16(out, 0);
    Append16(out, 0);
    Append32(out, kDosTime);
    Append32(out, zipdll::Crc32(0, entry.data.data(), entry.data.size()));
    Append32(out, static_cast<uint32_t>(entry.data.size()));
    Append32(out, static_cast<uint32_t>(entry.data.size()));
    Append16(out, static_cast<uint16_t>(entry.name.size()));
    Append16(out, 0);
    Append16(out, static_cast<uint16_t>(entry.comment.size()));
    Append16(out, 0);  // disk
    Append16(out, 0);  // internal attributes
    Append32(out, 0x20);
    Append32(out, offsets[i]);
    out += entry.name + entry.comment;
  }
  const size_t directory_size = out.size() - directory_at;
  if (layout.zip64) {
    const size_t record_at = out.size();
    Append32(out, 0x06064B50);
    Append64(out, 44);
    Append16(out, 45);
    Append16(out, 45);
    Append32(out, layout.this_disk);
    Append32(out, layout.directory_disk);
    Append64(out, entries.size());
    Append64(out, entries.size());
    Append64(out, directory_size);
    Append64(out, directory_at);
    Append32(out, 0x07064B50);
    Append32(out, layout.directory_disk);
    Append64(out, record_at);
    Append32(out, 1);
  }
  Append32(out, 0x06054B50);
  Append16(out, layout.this_disk);
  Append16(out, layout.directory_disk);
  Append16(out, layout.zip64 ? 0xFFFF : static_cast<uint16_t>(entries.size()));
  Append16(out, layout.zip64 ? 0xFFFF : static_cast<uint16_t>(entries.size()));
  Append32(out, layout.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(directory_size));
  Append32(out, layout.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(directory_at));
  Append16(out, static_cast<uint16_t>(layout.comment.size()));
  out += layout.comment;
  return layout.prefix + out;
}

size_t CentralDirectoryOffset(const std::string& archive) {
  const size_t end = archive.rfind(std::string("PK\x05\x06", 4));
  return end == std::string::npos ? 0 : Get32(archive, end + 16);
}

void Put16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

uint32_t Get32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

}  // namespace zip_test
