// Add and Extract: the call blocks for the libraries, and what surrounds each run.
#include <functional>
#include <vector>

#include "base/scope_exit.h"
#include "platform/platform.h"
#include "platform/work_files.h"
#include "ui/toolkit.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"
#include "zip/zip_libraries.h"

namespace zip {
namespace {

using zipdll::kFalse;
using zipdll::kTrue;
using zipdll::Slot;

constexpr int kCompressionLevel = 9;
constexpr Slot kPasswordAttempts = 3;

Slot Switch(bool on) { return on ? kTrue : kFalse; }

void Refuse(const std::string& text) {
  ui::Toolkit& toolkit = ui::CurrentToolkit();
  toolkit.MessageBox(text, toolkit.ApplicationTitle(), ui::kMbOk | ui::kMbIconInformation);
}

const char kMultipleDiskRefusal[] =
    "Cannot Add, Delete or Extract from a multiple disk Zip file...\nMerge this Zip file onto the "
    "hard disk before retrying.";

void MakeCurrent(const std::string& folder) {
  if (!platform::SetCurrentDirectory(folder)) {
    throw InOutError("Unable to make \"" + folder + "\" the current folder.");
  }
}

// An empty work file in folder, closed; empty when none can be made.
std::string NewWorkFile(const std::string& folder) {
  std::string path;
  const std::string base = folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
  return platform::CreateWorkFile(base, "copy", &path) ? path : std::string();
}

// The copy of the archive an add starts from: put back when the add is cancelled, deleted on
// every way out.
class ArchiveCopy {
 public:
  ArchiveCopy(const std::string& archive, const std::string& folder)
      : path_(NewWorkFile(folder)), remove_([this] {
          if (!path_.empty()) platform::DeleteFile(path_);
        }) {
    copied_ = !path_.empty() && !archive.empty() && platform::CopyFile(archive, path_, false);
    // Kept open while the add runs, so that another run's clean-up of work files left behind
    // leaves it alone.
    if (copied_) held_ = platform::File::Open(path_, platform::File::Mode::kRead);
  }

  // Only a copy that was made whole may replace the archive.
  void Restore(const std::string& archive) const {
    if (copied_) platform::CopyFile(path_, archive, false);
  }

 private:
  std::string path_;
  bool copied_ = false;
  base::ScopeExit<std::function<void()>> remove_;  // after path_, so that it runs first
  std::unique_ptr<platform::File> held_;           // closed before the copy is removed
};

}  // namespace

int TZip::CallLibrary(const std::function<int()>& call, bool let_messages_run_first) {
  OpenTraceFile();
  // Frees the progress window and closes the trace file however the library call ends.
  const base::ScopeExit release([this] {
    progress_form_.reset();
    CloseTraceFile();
  });
  if (ShowProgressDialog) {
    progress_form_ = std::make_unique<TProgressForm>(*this);
    progress_form_->Show();
    if (let_messages_run_first) ui::CurrentToolkit().ProcessMessages();
  }
  return call();
}

int TZip::Add() {
  std::string folder = TempDir;
  if (folder.empty()) folder = platform::GetTempPath();
  const ArchiveCopy copy(zip_file_name_, folder);
  const base::ScopeExit clear_base([this] { AddBaseDir.clear(); });
  const int result = AddRun();
  if (Cancelled) copy.Restore(zip_file_name_);
  return result;
}

void TZip::DropProgressWindow() {
  ShowProgressDialog = false;
  if (progress_form_) progress_form_->Hide();
}

int TZip::AddRun() {
  if (zip_file_name_.empty()) {
    Refuse("A Zip file must be openned or created before\nAdding, Deleting or Extracting files.");
    return 0;
  }
  if (FileSpecs.empty()) {
    Refuse("No files have been selected.");
    return 0;
  }
  if (MultipleDisk()) {
    Refuse(kMultipleDiskRefusal);
    return 0;
  }
  zipdll::ZipDllExecFunction exec = LoadZipDll(DllDirectory);
  const std::string root = AddBaseDir.empty() ? std::string() : base::AddBackslash(AddBaseDir);
  Cancelled = false;
  // The folder made current for the run is let go of when it ends, whichever way: a stick whose
  // folder is current cannot be ejected.
  const platform::CurrentDirectoryKeeper current_folder_back;
  if (!AddBaseDir.empty() && platform::FolderExists(AddBaseDir)) MakeCurrent(AddBaseDir);

  const bool has_password = !Password.empty();
  const bool recurse = AddOptions & kAddRecurse;
  const uint16_t recurse_value = recurse ? 0xFFFF : 0;
  const std::string comment = OemNames ? platform::AnsiToOem(ZipComment()) : ZipComment();
  if (AddOptions & kAddRelativeToBase) {
    for (std::string& name : FileSpecs) {
      const bool absolute = name.size() > 2 && (name[0] == '\\' || name[1] == ':');
      if (!absolute) name = root + name;
    }
  }
  std::vector<zipdll::ZipFileEntry> entries(FileSpecs.size());
  for (size_t i = 0; i < FileSpecs.size(); ++i) {
    zipdll::ZipFileEntry& entry = entries[i];
    entry = {};
    entry.file_spec = FileSpecs[i].c_str();
    entry.password = has_password ? Password.c_str() : nullptr;
    entry.encrypt = Switch(has_password);
    entry.recurse.value = recurse_value;
    entry.root = root.c_str();
  }
  auto block = std::make_unique<zipdll::ZipCommandBlock>();
  *block = {};
  block->caller = this;
  block->version = zipdll::kInterfaceVersion;
  block->callback = &TZip::LibraryCallback;
  block->trace = Switch(Trace);
  block->password = has_password ? Password.c_str() : nullptr;
  block->encrypt = Switch(has_password);
  block->include_system = Switch(AddOptions & kAddHiddenSystem);
  block->no_folder_entries = Switch(!(AddOptions & kAddFolderEntries));
  block->quiet = kTrue;
  block->level = kCompressionLevel;
  block->drop_folder_names = Switch(!(AddOptions & kAddKeepFolderNames));
  block->recurse.value = recurse_value;
  block->grow = kTrue;
  block->force_dos_names = Switch(AddOptions & kAddDosNames);
  block->update = Switch(AddOptions & kAddUpdate);
  block->freshen = Switch((AddOptions & kAddFreshen) && !(AddOptions & kAddUpdate));
  block->entry_count = static_cast<Slot>(entries.size());
  block->archive = zip_file_name_.c_str();
  block->temp_folder = TempDir.c_str();
  block->comment = comment.empty() ? nullptr : comment.c_str();
  block->entries = entries.data();
  block->check = zipdll::kStructureCheck;

  const int result = CallLibrary([&] { return exec(block.get()); }, false);
  block.reset();
  entries.clear();
  FileSpecs.clear();
  if (result > 0) {
    ReadDirectory();
    FireContentsChanged();
  }
  return result;
}

int TZip::Extract() {
  Cancelled = false;
  if (Contents.empty()) return 0;
  if (MultipleDisk()) {
    Refuse(kMultipleDiskRefusal);
    return 0;
  }
  if (!ExtrBaseDir.empty() && !platform::FolderExists(ExtrBaseDir)) {
    Refuse("Unable to extract files to:\n\"" + ExtrBaseDir + "\"\nThis folder does not exist.");
    return 0;
  }
  zipdll::UnzDllExecFunction exec = LoadUnzDll(DllDirectory);
  std::string target;
  if (!ExtrBaseDir.empty()) {
    target = base::AddBackslash(ExtrBaseDir);
  } else {
    target = base::FolderOf(zip_file_name_);
  }
  // A name without a folder lies in the current folder already. The target is current for this
  // run only, as for an add.
  const platform::CurrentDirectoryKeeper current_folder_back;
  if (!target.empty()) MakeCurrent(target);

  const bool update = ExtrOptions & kExtrUpdate;
  const bool freshen = (ExtrOptions & kExtrFreshen) && !update;
  std::vector<zipdll::UnzipFileEntry> entries(FileSpecs.size());
  for (size_t i = 0; i < FileSpecs.size(); ++i) {
    entries[i] = {};
    entries[i].file_spec = FileSpecs[i].c_str();
  }
  auto block = std::make_unique<zipdll::UnzipCommandBlock>();
  *block = {};
  block->caller = this;
  block->version = zipdll::kInterfaceVersion;
  block->callback = &TZip::LibraryCallback;
  block->trace = kFalse;
  block->password = Password.empty() ? nullptr : Password.c_str();
  block->test_only = Switch((ExtrOptions & kExtrTestOnly) && !(ExtrOptions & kExtrByAge));
  block->quiet = kTrue;
  block->update = Switch(update);
  block->freshen = Switch(freshen);
  block->recreate_folders = Switch(ExtrOptions & kExtrRecreateFolders);
  block->overwrite = Switch(!(ExtrOptions & (kExtrByAge | kExtrTestOnly)));
  block->entry_count = static_cast<Slot>(entries.size());
  block->archive = zip_file_name_.c_str();
  block->entries = entries.empty() ? nullptr : entries.data();
  block->password_attempts = kPasswordAttempts;
  block->target_folder = target.c_str();
  block->check = zipdll::kStructureCheck;

  const int result = CallLibrary([&] { return exec(block.get()); }, true);
  block.reset();
  entries.clear();
  FileSpecs.clear();
  return result;
}

void TZip::OpenTraceFile() {
  if (!Trace) return;
  const std::string program = platform::GetModuleFileName();
  if (program.empty()) return;
  trace_file_ =
      platform::File::Open(base::StripExtension(program) + ".trace", platform::File::Mode::kCreate);
}

void TZip::CloseTraceFile() { trace_file_.reset(); }

}  // namespace zip
