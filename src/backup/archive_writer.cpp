// WriteArchive: one archive of FoundFiles, written so that the user never loses the last good
// backup. The new archive is made under a temporary name beside the old one and takes its name
// only once it is complete; a failed or cancelled run leaves the old archive as it was.
#include "app/file_maint.h"
#include "platform/platform.h"
#include "util/files.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace app {
namespace {

// Until committed, closes the component and deletes the temporary archive: on a failure, a
// cancel, or an error that leaves the command.
class TemporaryArchive {
 public:
  TemporaryArchive(zip::TZip& zip, std::string path) : zip_(zip), path_(std::move(path)) {}
  ~TemporaryArchive() {
    if (committed_) return;
    zip_.ZipFileName("");
    platform::DeleteFile(path_);
  }
  TemporaryArchive(const TemporaryArchive&) = delete;
  TemporaryArchive& operator=(const TemporaryArchive&) = delete;

  const std::string& path() const { return path_; }
  void Commit() { committed_ = true; }

 private:
  zip::TZip& zip_;
  std::string path_;
  bool committed_ = false;
};

// A fresh name in folder for the new archive, not yet existing (the component creates the file).
std::string TemporaryName(const std::string& folder, const std::string& archive) {
  std::string name = platform::GetTempFileName(folder, "rdb");
  // No unique name to be had (a folder that cannot be written): this one fails in the same way,
  // with the component's own message.
  if (name.empty()) name = archive + ".tmp";
  platform::DeleteFile(name);
  return name;
}

// The user hears about the archive by its real name, never the temporary one.
std::string Renamed(std::string message, const std::string& from, const std::string& to) {
  for (size_t at = message.find(from); at != std::string::npos;
       at = message.find(from, at + to.size())) {
    message.replace(at, from.size(), to);
  }
  return message;
}

// Restores a component event handler when the run leaves, however it leaves.
class EndOfBatchWatch {
 public:
  EndOfBatchWatch(zip::TZip& zip, bool* ended) : zip_(zip), saved_(zip.OnZEDEndBatchEvent) {
    zip_.OnZEDEndBatchEvent = [this, ended](zip::TZip& sender, int skipped, int count, int bytes) {
      *ended = true;
      if (saved_) saved_(sender, skipped, count, bytes);
    };
  }
  ~EndOfBatchWatch() { zip_.OnZEDEndBatchEvent = saved_; }
  EndOfBatchWatch(const EndOfBatchWatch&) = delete;
  EndOfBatchWatch& operator=(const EndOfBatchWatch&) = delete;

 private:
  zip::TZip& zip_;
  zip::TZEDEndBatchEvent saved_;
};

}  // namespace

bool TFileMaint::WriteArchive(const std::string& target_folder, const std::string& file_name,
                              const std::string& comment, const std::string& caption, int options) {
  util::MakeFolderPath(target_folder);
  const std::string archive = util::AddBackslash(target_folder) + file_name;
  TemporaryArchive temporary(*Zip1, TemporaryName(util::AddBackslash(target_folder), archive));
  try {
    Zip1->ZipFileName(temporary.path());
  } catch (const zip::ZipException& error) {
    throw zip::ZipException(Renamed(error.what(), temporary.path(), archive));
  }
  Zip1->ZipComment(comment);
  zip::ProgressCaption = caption;
  Zip1->AddOptions = static_cast<uint8_t>(options);
  const size_t specs = FoundFiles ? FoundFiles->size() : 0;
  // A run the component refused before the library saw it leaves its specs behind.
  Zip1->FileSpecs.clear();
  if (FoundFiles) {
    Zip1->FileSpecs.insert(Zip1->FileSpecs.end(), FoundFiles->begin(), FoundFiles->end());
  }
  // The library reports the end of a batch only once the archive is written whole; without it a
  // run that did not fail loudly (a full disk) still failed.
  bool batch_ended = false;
  {
    const EndOfBatchWatch watch(*Zip1, &batch_ended);
    Zip1->Cancelled = false;
    Zip1->Add();
  }
  if (Zip1->Cancelled) return false;
  // With nothing to add the component says so itself and leaves the empty archive with its
  // comment, which is a complete backup of nothing.
  const bool complete = (specs == 0 || batch_ended) && util::FileExistsChecked(temporary.path());
  Zip1->ZipFileName("");
  if (!complete || !platform::MoveFileReplacing(temporary.path(), archive)) {
    ReportMessage("The backup could not be written to " + archive +
                  ". An earlier backup there has been left as it was.");
    return false;
  }
  temporary.Commit();
  Zip1->ZipFileName(archive);
  return true;
}

}  // namespace app
