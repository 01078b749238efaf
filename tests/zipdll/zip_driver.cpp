#include "zipdll/zip_driver.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/text.h"
#include "platform/platform.h"
#include "zipdll/common/zip_crypto.h"
#include "zipdll/common/zip_reader.h"
#include "zipformat/zip_records.h"

namespace zip_test {
namespace {

using zipdll::Slot;

void* Library() {
  static void* library = platform::LoadLibrary(zipdll::kZipDllName);
  return library;
}

std::string Inflate(const std::string& deflated, size_t expected, bool* ok) {
  std::string out(expected, '\0');
  z_stream stream = {};
  *ok = false;
  if (inflateInit2(&stream, -15) != Z_OK) return std::string();
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
  stream.avail_in = static_cast<uInt>(deflated.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&stream, Z_FINISH);
  *ok = status == Z_STREAM_END && stream.total_out == expected;
  inflateEnd(&stream);
  return out;
}

}  // namespace

zipdll::ZipDllExecFunction ZipDriver::Exec() {
  return reinterpret_cast<zipdll::ZipDllExecFunction>(
      platform::GetProcAddress(Library(), zipdll::kZipDllExecName));
}

zipdll::VersionFunction ZipDriver::Version() {
  return reinterpret_cast<zipdll::VersionFunction>(
      platform::GetProcAddress(Library(), zipdll::kGetZipDllVersionName));
}

std::int32_t ZIPDLL_CALL ZipDriver::OnCallback(zipdll::CallbackRecord* record) {
  auto* driver = static_cast<ZipDriver*>(record->caller);
  const int index = static_cast<int>(driver->events.size());
  driver->events.push_back({record->action, record->value,
                            std::string(record->text, strnlen(record->text, sizeof record->text))});
  if (driver->on_event) driver->on_event(driver->events.back());
  return index == driver->abort_at ? -1 : 0;
}

int ZipDriver::Add(const AddRequest& request,
                   const std::function<void(zipdll::ZipCommandBlock&)>& adjust) {
  const uint8_t options = request.options;
  const std::string root =
      request.base_dir.empty() ? std::string() : base::AddBackslash(request.base_dir);
  std::vector<std::string> specs = request.specs;
  if (options & zip::kAddRelativeToBase) {
    for (std::string& file_spec : specs) {
      const bool absolute = file_spec.size() > 2 && (file_spec[0] == '\\' || file_spec[1] == ':');
      if (!absolute) file_spec = root + file_spec;
    }
  }
  const std::string temp = platform::GetTempPath();
  const bool has_password = !request.password.empty();
  const Slot recurse_value = (options & zip::kAddRecurse) ? 0xFFFF : 0;
  std::vector<zipdll::ZipFileEntry> entries(specs.size());
  for (size_t i = 0; i < specs.size(); ++i) {
    entries[i] = {};
    entries[i].file_spec = specs[i].c_str();
    entries[i].password = has_password ? request.password.c_str() : nullptr;
    entries[i].encrypt = has_password ? zipdll::kTrue : zipdll::kFalse;
    entries[i].recurse.whole = 0;
    entries[i].recurse.value = static_cast<uint16_t>(recurse_value);
    entries[i].root = root.c_str();
  }
  zipdll::ZipCommandBlock block = {};
  block.caller = this;
  block.version = zipdll::kInterfaceVersion;
  block.callback = &ZipDriver::OnCallback;
  block.trace = request.trace ? zipdll::kTrue : zipdll::kFalse;
  block.password = has_password ? request.password.c_str() : nullptr;
  block.encrypt = has_password ? zipdll::kTrue : zipdll::kFalse;
  block.include_system = (options & zip::kAddHiddenSystem) ? zipdll::kTrue : zipdll::kFalse;
  block.no_folder_entries = (options & zip::kAddFolderEntries) ? zipdll::kFalse : zipdll::kTrue;
  block.quiet = zipdll::kTrue;
  block.level = 9;
  block.drop_folder_names = (options & zip::kAddKeepFolderNames) ? zipdll::kFalse : zipdll::kTrue;
  block.recurse.whole = 0;
  block.recurse.value = static_cast<uint16_t>(recurse_value);
  block.grow = zipdll::kTrue;
  block.force_dos_names = (options & zip::kAddDosNames) ? zipdll::kTrue : zipdll::kFalse;
  block.update = (options & zip::kAddUpdate) ? zipdll::kTrue : zipdll::kFalse;
  block.freshen =
      (options & zip::kAddFreshen) && !(options & zip::kAddUpdate) ? zipdll::kTrue : zipdll::kFalse;
  block.entry_count = static_cast<Slot>(entries.size());
  block.archive = request.archive.c_str();
  block.temp_folder = temp.c_str();
  block.comment = request.comment.empty() ? nullptr : request.comment.c_str();
  block.entries = entries.data();
  block.check = zipdll::kStructureCheck;
  if (adjust) adjust(block);
  events.clear();
  zipdll::ZipDllExecFunction exec = Exec();
  return exec ? exec(&block) : -1000;
}

std::vector<Slot> ZipDriver::Actions() const {
  std::vector<Slot> actions;
  for (const Event& event : events) actions.push_back(event.action);
  return actions;
}

std::vector<Event> ZipDriver::Of(Slot action) const {
  std::vector<Event> found;
  for (const Event& event : events) {
    if (event.action == action) found.push_back(event);
  }
  return found;
}

std::string ZipDriver::Messages() const {
  std::string text;
  for (const Event& event : Of(zipdll::kActionMessage)) text += event.text + "\n";
  return text;
}

std::vector<Slot> ZipDriver::SkipReasons() const {
  std::vector<Slot> reasons;
  for (const Event& event : Of(zipdll::kActionSkipped)) reasons.push_back(event.value);
  return reasons;
}

const Member* ArchiveContents::Find(const std::string& name) const {
  for (const Member& member : members) {
    if (member.name == name) return &member;
  }
  return nullptr;
}

std::vector<std::string> ArchiveContents::Names() const {
  std::vector<std::string> names;
  for (const Member& member : members) names.push_back(member.name);
  return names;
}

ArchiveContents ReadArchive(const std::string& path, const std::string& password) {
  ArchiveContents contents;
  std::unique_ptr<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  if (!file) {
    contents.error = "cannot open " + path;
    return contents;
  }
  zipdll::Directory directory;
  if (!zipdll::ReadDirectory(*file, &directory, &contents.error)) return contents;
  contents.comment = directory.comment;
  for (const zipdll::EntryInfo& entry : directory.entries) {
    Member member;
    member.name = entry.name;
    member.flags = entry.flags;
    member.method = entry.method;
    member.dos_time = entry.DosDateTime();
    member.external_attributes = entry.external_attributes;
    member.crc = entry.crc;
    member.compressed_size = entry.compressed_size;
    uint64_t offset = 0;
    std::string raw(static_cast<size_t>(entry.compressed_size), '\0');
    if (zipdll::EntryDataOffset(*file, directory, entry, &offset, &contents.error) &&
        file->Seek(offset) && file->ReadExact(raw.data(), raw.size())) {
      if (entry.IsEncrypted() && raw.size() >= zipformat::kEncryptionHeaderSize) {
        zipdll::TraditionalCipher cipher(password);
        cipher.Decrypt(reinterpret_cast<uint8_t*>(raw.data()), raw.size());
        raw.erase(0, zipformat::kEncryptionHeaderSize);
      }
      bool ok = entry.method == zipformat::kMethodStored;
      member.data = entry.method == zipformat::kMethodDeflated
                        ? Inflate(raw, static_cast<size_t>(entry.uncompressed_size), &ok)
                        : raw;
      member.data_ok = ok && member.data.size() == entry.uncompressed_size &&
                       zipdll::Crc32(0, member.data.data(), member.data.size()) == entry.crc;
    }
    contents.members.push_back(std::move(member));
  }
  contents.ok = true;
  return contents;
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<platform::FindEntry> entries;
  platform::FindFiles(folder + "*", &entries);
  std::vector<std::string> names;
  for (const platform::FindEntry& entry : entries) {
    if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zip_test
