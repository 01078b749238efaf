#include "zipdll/add/add_run.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

#include "base/scope_exit.h"
#include "base/text.h"
#include "base/wildcard.h"
#include "platform/platform.h"
#include "platform/work_files.h"
#include "zipdll/add/entry_packer.h"
#include "zipdll/add/entry_streamer.h"
#include "zipdll/add/file_specs.h"
#include "zipdll/add/zip_writer.h"
#include "zipdll/common/zip_reader.h"
#include "zipformat/zip_records.h"

namespace zipdll::add {

namespace {

// Made on Windows NTFS, zip 2.0: names are taken as given, not as MS-DOS code page text.
constexpr uint16_t kVersionMadeBy = (11 << 8) | 20;
constexpr uint16_t kVersionNeeded = 20;
constexpr uint32_t kDosAttributeBits = 0x3F;
// Files read ahead of the writer; one file larger than this is still let through alone.
constexpr uint64_t kBytesAhead = 64ull << 20;
constexpr uint64_t kProgressStep = 64 << 10;
// Files from this size on are read in pieces rather than whole.
constexpr uint64_t kStreamFrom = 32ull << 20;

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

bool IsOn(Slot value) { return value != 0; }

// The folder the archive is in; a bare name is in the current folder.
std::string FolderBeside(const std::string& path) {
  const std::string folder = base::FolderOf(path);
  return folder.empty() ? std::string(".\\") : folder;
}

// A file of the batch with what it is to be packed with.
struct Planned {
  SourceFile source;
  bool encrypt = false;
  std::string password;
};

// The archive as it is before the run.
struct Existing {
  std::unique_ptr<platform::File> file;
  Directory directory;
};

// Opens and reads the archive to add to. An archive that does not exist (or is empty) reads as
// one without entries; one that cannot be read is an error, so it is never replaced.
bool ReadExisting(const std::string& archive, Existing* existing, std::string* error) {
  if (platform::GetFileAttributes(archive) == platform::kInvalidAttributes) return true;
  existing->file = platform::File::Open(archive, platform::File::Mode::kRead);
  uint64_t size = 0;
  if (!existing->file || !existing->file->Size(&size)) {
    *error = "Cannot open the archive " + archive;
    return false;
  }
  if (size == 0) {
    existing->file.reset();
    return true;
  }
  std::string why;
  if (!ReadDirectory(*existing->file, &existing->directory, &why)) {
    *error = "Cannot add to " + archive + ": " + why;
    return false;
  }
  return true;
}

// Writes one packed file, reporting progress at least every 64 KiB of the file.
bool WriteData(ZipWriter& writer, const PackedEntry& packed, Reporter& reporter) {
  const uint64_t input = packed.size;
  const uint64_t output = packed.data.size();
  const uint64_t pieces = std::max<uint64_t>(1, (input + kProgressStep - 1) / kProgressStep);
  // Piece k ends at total * k / pieces, computed without overflowing.
  const auto boundary = [pieces](uint64_t total, uint64_t k) {
    return total / pieces * k + total % pieces * k / pieces;
  };
  for (uint64_t k = 0; k < pieces; ++k) {
    const uint64_t from = boundary(output, k), to = boundary(output, k + 1);
    if (!writer.Write(packed.data.data() + from, static_cast<size_t>(to - from))) return false;
    reporter.Call(kActionProgress, std::string(),
                  static_cast<int64_t>(boundary(input, k + 1) - boundary(input, k)));
  }
  return true;
}

// The skip message for a record the writer refused; the reason first, as a path long enough to
// cause it would push it past what a callback carries.
std::string NotStorable(const CentralRecord& record, const std::string& path) {
  return "Skipped, as " + RecordMisfit(record) + ": " + path;
}

class AddRun {
 public:
  AddRun(const ZipCommandBlock& block, Reporter& reporter)
      : block_(block), reporter_(reporter), archive_(Text(block.archive)) {}

  int32_t Run();

 private:
  void Plan();
  bool CopyKept(ZipWriter& writer, std::string* error);
  // Adds the planned files; false when writing failed.
  bool AddFiles(ZipWriter& writer, std::string* error);
  // Writes the local header of an entry, or with *refused tells the caller why the format cannot
  // hold it; false as AddFiles.
  bool Begin(ZipWriter& writer, const CentralRecord& record, const std::string& path, bool* refused,
             std::string* error);
  // Adds one large file in pieces; false as AddFiles.
  bool StreamFile(ZipWriter& writer, const Planned& planned, const CentralRecord& record,
                  std::string* error);
  // Tells the caller why what (a file or a file spec) was left out: why, in words that start
  // with what it was, and the cause's.
  void Skipped(SkipReason reason, const std::string& what, const std::string& why,
               platform::Cause cause = platform::Cause::kNone) {
    reporter_.Skipped(what, reason, platform::WithCause(why, cause), cause);
  }
  // The block's deflate level, 0 (store) to 9.
  int Level() const { return static_cast<int>(std::clamp<Slot>(block_.level, 0, 9)); }
  int32_t Fail(const std::string& message, platform::Cause cause = platform::Cause::kNone,
               int64_t needed = 0) {
    reporter_.Failure(message, cause, needed);
    return 0;
  }
  // Notes a write into the new archive that failed, with its cause, for the run's message.
  bool WriteFailed(std::string* error) {
    write_cause_ = platform::LastCause();
    *error = "Cannot write the new archive";
    return false;
  }
  // What the new archive was likely to need in all when a write failed: what it had reached,
  // and the rest of the batch at the ratio so far.
  int64_t NeededEstimate(uint64_t written) const;

  const ZipCommandBlock& block_;
  Reporter& reporter_;
  const std::string archive_;
  Existing existing_;
  std::vector<Planned> planned_;
  std::vector<SkippedItem> skipped_;
  std::vector<bool> replaced_;  // per existing entry
  int32_t added_ = 0;
  uint64_t batch_bytes_ = 0;     // of the files to add
  uint64_t consumed_bytes_ = 0;  // of those, gone through so far
  platform::Cause write_cause_ = platform::Cause::kNone;
};

int64_t AddRun::NeededEstimate(uint64_t written) const {
  const uint64_t left = batch_bytes_ > consumed_bytes_ ? batch_bytes_ - consumed_bytes_ : 0;
  const double ratio =
      consumed_bytes_ > 0 ? std::min(1.5, static_cast<double>(written) / consumed_bytes_) : 1.0;
  return static_cast<int64_t>(static_cast<double>(written) + static_cast<double>(left) * ratio);
}

void AddRun::Plan() {
  SpecOptions options;
  options.include_hidden_system = IsOn(block_.include_system);
  options.folder_entries = !IsOn(block_.no_folder_entries);
  options.drop_folder_names = IsOn(block_.drop_folder_names);
  options.force_dos_names = IsOn(block_.force_dos_names);
  std::vector<SourceFile> files;
  std::vector<std::pair<bool, std::string>> protection;  // per file: encrypt, password
  const Slot count = block_.entries ? std::max<Slot>(0, block_.entry_count) : 0;
  for (Slot i = 0; i < count; ++i) {
    const ZipFileEntry& entry = block_.entries[i];
    const std::string file_spec = Text(entry.file_spec);
    if (file_spec.empty()) continue;
    SpecOptions spec_options = options;
    spec_options.recurse = entry.recurse.value == 0xFFFF || block_.recurse.value == 0xFFFF;
    ExpandFileSpec(file_spec, Text(entry.root), spec_options, &files, &skipped_);
    const bool encrypt = IsOn(entry.encrypt) || IsOn(block_.encrypt);
    const std::string password = entry.password ? Text(entry.password) : Text(block_.password);
    protection.resize(files.size(), {encrypt, password});
  }
  // Carry each file's protection through the renaming and de-duplication by its path.
  std::map<std::string, std::pair<bool, std::string>> protection_of;
  for (size_t i = 0; i < files.size(); ++i) protection_of.emplace(files[i].path, protection[i]);
  FinishNames(options, &files, &skipped_);

  const std::vector<EntryInfo>& old_entries = existing_.directory.entries;
  replaced_.assign(old_entries.size(), false);
  std::map<std::string, size_t> old_index;
  for (size_t i = 0; i < old_entries.size(); ++i) {
    old_index.emplace(base::UpperText(old_entries[i].name), i);
  }
  const bool update = IsOn(block_.update);
  const bool freshen = IsOn(block_.freshen) && !update;
  for (SourceFile& file : files) {
    // Never the archive into itself.
    if (base::EqualNoCase(file.path, archive_)) continue;
    auto found = old_index.find(base::UpperText(file.name));
    if (found != old_index.end() && replaced_[found->second]) continue;
    if (found == old_index.end() && freshen) {
      if (file.is_folder) continue;  // folders come with the files they hold, if any
      skipped_.push_back(
          {file.path, kSkipNotNewer, "Skipped " + file.path + ": not in the archive (freshen)"});
      continue;
    }
    if (found != old_index.end() && (update || freshen) && !file.is_folder) {
      const uint32_t old_time = static_cast<uint32_t>(old_entries[found->second].DosDateTime());
      if (static_cast<uint32_t>(file.dos_time) <= old_time) {
        skipped_.push_back({file.path, kSkipNotNewer,
                            "Skipped " + file.path + ": the archived copy is not older"});
        continue;
      }
    }
    if (found != old_index.end()) replaced_[found->second] = true;
    Planned planned;
    const auto& [encrypt, password] = protection_of[file.path];
    planned.encrypt = encrypt && !file.is_folder;
    planned.password = password;
    if (planned.encrypt && password.empty()) {
      if (found != old_index.end()) replaced_[found->second] = false;
      skipped_.push_back({file.path, kSkipNoPassword,
                          "Skipped " + file.path + ": encryption asked for without a password"});
      continue;
    }
    planned.source = std::move(file);
    planned_.push_back(std::move(planned));
  }
}

bool AddRun::CopyKept(ZipWriter& writer, std::string* error) {
  const Directory& directory = existing_.directory;
  for (size_t i = 0; i < directory.entries.size(); ++i) {
    if (replaced_[i]) continue;
    const EntryInfo& entry = directory.entries[i];
    platform::File& file = *existing_.file;
    uint64_t data_offset = 0;
    std::string why;
    if (!EntryDataOffset(file, directory, entry, &data_offset, &why)) {
      *error = "Cannot keep " + entry.name + " of the archive: " + why;
      return false;
    }
    const uint64_t header_size = data_offset - entry.local_header_offset;
    std::string header(static_cast<size_t>(header_size), '\0');
    if (!file.Seek(entry.local_header_offset) || !file.ReadExact(header.data(), header.size())) {
      *error = "Cannot read " + entry.name + " of the archive";
      return false;
    }
    // The data runs to the next entry or the directory; a data descriptor after it comes along.
    uint64_t end = directory.directory_start;
    auto next = std::upper_bound(directory.sorted_offsets.begin(), directory.sorted_offsets.end(),
                                 entry.local_header_offset);
    if (next != directory.sorted_offsets.end()) end = std::min(end, *next);
    uint64_t length = entry.compressed_size;
    if (entry.flags & zipformat::kFlagDataDescriptor)
      length += zipformat::DataDescriptor::kLargestSize;
    if (end > data_offset) length = std::min(length, end - data_offset);
    length = std::max(length, entry.compressed_size);
    CentralRecord record;
    record.name = entry.name;
    record.version_made_by = entry.version_made_by;
    // Its name is now UTF-8 as ours are; MS-DOS and OS/2 hosts would announce code page text.
    const int host = entry.version_made_by >> 8;
    if (host == 0 || host == 6 || host == 11) record.version_made_by = kVersionMadeBy;
    record.version_needed = entry.version_needed;
    record.flags = entry.flags;
    record.method = entry.method;
    record.dos_date_time = entry.DosDateTime();
    record.crc = entry.crc;
    record.compressed_size = entry.compressed_size;
    record.uncompressed_size = entry.uncompressed_size;
    record.internal_attributes = entry.internal_attributes;
    record.external_attributes = entry.external_attributes;
    record.extra = entry.extra;
    record.comment = entry.comment;
    if (!writer.CopyEntry(record, header, file, data_offset, length)) {
      *error = "Cannot copy " + entry.name + " into the new archive";
      return false;
    }
  }
  return true;
}

bool AddRun::Begin(ZipWriter& writer, const CentralRecord& record, const std::string& path,
                   bool* refused, std::string* error) {
  *refused = false;
  if (writer.BeginEntry(record)) return true;
  if (!writer.refused()) return WriteFailed(error);
  *refused = true;
  Skipped(kSkipNotStorable, path, NotStorable(record, path));
  return true;
}

bool AddRun::StreamFile(ZipWriter& writer, const Planned& planned, const CentralRecord& record,
                        std::string* error) {
  const std::string& path = planned.source.path;
  std::unique_ptr<platform::File> file = platform::File::Open(path, platform::File::Mode::kRead);
  uint64_t size = 0;
  if (!file || !file->Size(&size)) {
    Skipped(kSkipNotFound, path, "Skipped " + path + ": cannot open it", platform::LastCause());
    return true;
  }
  reporter_.Call(kActionFileBegun, path, static_cast<int64_t>(size));
  uint64_t stored = 0;
  const auto progress = [this](uint64_t bytes) {
    reporter_.Call(kActionProgress, std::string(), static_cast<int64_t>(bytes));
    return true;
  };
  switch (StreamEntry(writer, *file, record, Level(), planned.encrypt ? &planned.password : nullptr,
                      progress, &stored)) {
    case StreamResult::kAdded:
      ++added_;
      consumed_bytes_ += planned.source.size;
      if (IsOn(block_.trace)) reporter_.Message("Added " + planned.source.name);
      return true;
    case StreamResult::kUnreadable: {
      const platform::Cause cause = platform::LastCause();
      consumed_bytes_ += planned.source.size;
      Skipped(kSkipNotFound, path, "Skipped " + path + ": it could not be read whole",
              cause == platform::Cause::kNone ? platform::Cause::kChanged : cause);
      return true;
    }
    case StreamResult::kRefused:
      Skipped(kSkipNotStorable, path, NotStorable(record, path));
      return true;
    case StreamResult::kWriteFailed:
      break;
    case StreamResult::kStopped:
      // Progress above never answers false: the reporter throws instead.
      throw RunCancelled();
  }
  return WriteFailed(error);
}

bool AddRun::AddFiles(ZipWriter& writer, std::string* error) {
  // The writing thread packs small files too while it waits: one worker fewer than cores.
  const unsigned cores = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
  const unsigned threads = std::max(1u, cores - 1);
  EntryPacker packer(threads, kBytesAhead);
  std::vector<size_t> job_of(planned_.size(), SIZE_MAX);
  size_t jobs = 0;
  for (size_t i = 0; i < planned_.size(); ++i) {
    if (planned_[i].source.is_folder || planned_[i].source.size >= kStreamFrom) continue;
    job_of[i] = jobs++;
    packer.Add({planned_[i].source.path, planned_[i].source.size, Level(), planned_[i].encrypt,
                planned_[i].password});
  }
  const bool trace = IsOn(block_.trace);
  for (size_t i = 0; i < planned_.size(); ++i) {
    const SourceFile& source = planned_[i].source;
    CentralRecord record;
    record.name = source.name;
    record.version_made_by = kVersionMadeBy;
    record.version_needed = kVersionNeeded;
    record.dos_date_time = source.dos_time;
    record.external_attributes = source.attributes & kDosAttributeBits;
    bool refused = false;
    if (source.is_folder) {
      record.external_attributes |= platform::kAttrDirectory;
      if (!Begin(writer, record, source.path, &refused, error)) return false;
      if (refused) continue;
      if (trace) reporter_.Message("Folder " + source.name);
      continue;
    }
    if (job_of[i] == SIZE_MAX) {
      if (!StreamFile(writer, planned_[i], record, error)) return false;
      continue;
    }
    // A worker may take long over a large file or a slow drive; the caller hears from the run
    // meanwhile, and can stop it (the reporter throws, so the wait never ends in a refusal).
    const auto still_waiting = [this] {
      reporter_.Call(kActionProgress, std::string(), 0);
      return true;
    };
    PackedEntry packed = std::move(*packer.Take(job_of[i], still_waiting));
    if (packed.grown) {
      // Larger than listed: read a piece at a time, as a large file is.
      if (!StreamFile(writer, planned_[i], record, error)) return false;
      continue;
    }
    consumed_bytes_ += source.size;
    if (!packed.ok) {
      Skipped(kSkipNotFound, source.path, "Skipped " + source.path + ": " + packed.error,
              packed.cause);
      continue;
    }
    reporter_.Call(kActionFileBegun, source.path, static_cast<int64_t>(packed.size));
    record.method = packed.method;
    record.crc = packed.crc;
    record.flags = packed.encrypted ? zipformat::kFlagEncrypted : 0;
    record.compressed_size = packed.data.size();
    record.uncompressed_size = packed.size;
    if (!Begin(writer, record, source.path, &refused, error)) return false;
    if (refused) continue;
    if (!WriteData(writer, packed, reporter_)) return WriteFailed(error);
    ++added_;
    if (trace) {
      const std::string how = packed.method == zipformat::kMethodDeflated
                                  ? "deflated to " + std::to_string(packed.data.size()) + " bytes"
                                  : std::string("stored");
      reporter_.Message("Added " + source.name + ", " + how);
    }
  }
  return true;
}

int32_t AddRun::Run() {
  if (archive_.empty()) return Fail("No archive name was given");
  // A read-only archive is the user's wish that it stay as it is; a folder is no archive.
  const uint32_t attributes = platform::GetFileAttributes(archive_);
  if (attributes != platform::kInvalidAttributes &&
      (attributes & (platform::kAttrReadOnly | platform::kAttrDirectory))) {
    return Fail("Cannot add to " + archive_ + ": it is read-only or a folder");
  }
  std::string error;
  if (IsOn(block_.grow) && !ReadExisting(archive_, &existing_, &error)) return Fail(error);
  Plan();
  uint64_t batch_bytes = 0;
  int64_t batch_files = 0;
  for (const Planned& planned : planned_) {
    if (planned.source.is_folder) continue;
    batch_bytes += planned.source.size;
    ++batch_files;
  }
  reporter_.Call(kActionBatchFiles, std::string(), batch_files);
  reporter_.Call(kActionBatchBytes, std::string(), static_cast<int64_t>(batch_bytes));
  batch_bytes_ = batch_bytes;
  for (const SkippedItem& item : skipped_) {
    Skipped(item.reason, item.what, item.message, item.cause);
  }
  const std::string old_comment = existing_.directory.comment;
  const std::string comment = block_.comment ? Text(block_.comment) : old_comment;
  const bool unchanged = planned_.empty() && existing_.file && comment == old_comment;
  if (unchanged) {
    reporter_.Call(kActionEndOfBatch, std::string(), 0);
    return 0;
  }

  // The new archive goes beside the old one, so that replacing it is a rename on one drive.
  // The work file goes unless it became the archive; the guard comes before out, so the file is
  // closed before it is deleted.
  std::string temp;
  base::ScopeExit remove_temp([&temp] {
    if (!temp.empty()) platform::DeleteFile(temp);
  });
  std::unique_ptr<platform::File> out =
      platform::CreateWorkFile(FolderBeside(archive_), "add", &temp);
  if (!out) {
    return Fail("Cannot create a temporary file beside " + archive_, platform::LastCause());
  }
  bool written = false;
  uint64_t reached = 0;
  {
    ZipWriter writer(out.get());
    written = CopyKept(writer, &error) && AddFiles(writer, &error);
    if (written && !writer.Finish(comment)) WriteFailed(&error);
    if (written && error.empty() && !out->Flush()) WriteFailed(&error);
    written = written && error.empty();
    reached = writer.Position();
  }
  out.reset();
  if (!written) {
    const bool full = write_cause_ == platform::Cause::kDiskFull;
    return Fail(error.empty() ? "Cannot write the new archive" : error, write_cause_,
                full ? NeededEstimate(reached) : 0);
  }
  existing_.file.reset();
  if (!platform::MoveFileReplacing(temp, archive_)) {
    return Fail("Cannot replace " + archive_ + " by the new archive", platform::LastCause());
  }
  remove_temp.Release();
  // Only now is the archive complete in its place; a caller that stops here has its archive, and
  // hears how many files went in.
  try {
    reporter_.Call(kActionEndOfBatch, std::string(), 0);
  } catch (const RunCancelled&) {
  }
  return added_;
}

}  // namespace

int32_t RunAdd(const ZipCommandBlock& block, Reporter& reporter) {
  AddRun run(block, reporter);
  return run.Run();
}

}  // namespace zipdll::add
