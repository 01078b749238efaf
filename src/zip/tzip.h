// The archive component: opens or creates one zip archive at a time, reads its central directory
// and comment itself, rewrites the comment in place, and adds or extracts files by handing a call
// block to ZipDll or UnzDll, which it loads on first use. The libraries call back for every file,
// for progress and for every decision; the component turns those calls into its events, its
// progress window and its prompts.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/cause.h"
#include "zip/zip_options.h"
#include "zipdll/call_interface.h"

namespace platform {
class File;
}

namespace zip {

// A failure the caller cannot go on from; the message is meant for the user.
class ZipException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The current folder could not be changed to the folder a run needs.
class InOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The end-of-central-directory record exactly as stored (22 bytes, little-endian), its comment
// and where it was found (-1 = not located).
struct TEOCHInfo {
  static constexpr uint32_t kSignature = 0x06054B50;
  static constexpr size_t kSize = 22;

  std::array<uint8_t, kSize> record{};
  std::string comment;
  int64_t position = -1;

  uint32_t Signature() const;
  uint16_t ThisDisk() const;
  uint16_t CentralDirDisk() const;
  uint16_t EntriesOnDisk() const;
  uint16_t TotalEntries() const;
  uint32_t CentralDirSize() const;
  uint32_t CentralDirOffset() const;
  uint16_t CommentLength() const;
  void SetCommentLength(uint16_t length);
  // Zeroes the record and puts the signature in front: the record of an empty archive.
  void Reset();
};

// One central directory entry: the 46-byte header exactly as stored, then what follows it.
struct TFileInfo {
  static constexpr uint32_t kSignature = 0x02014B50;
  static constexpr size_t kHeaderSize = 46;

  std::array<uint8_t, kHeaderSize> header{};
  bool Encrypted = false;
  std::string FileName;  // ANSI, "\" between folders
  std::string ExtraField;
  std::string FileComment;

  uint8_t VersionMadeBy() const;  // the zip version, without the host system
  uint8_t HostSystem() const;
  uint16_t Flags() const;
  uint16_t Method() const;
  int32_t DosDateTime() const;  // date in the high word, time in the low one
  uint32_t Crc() const;
  uint32_t CompressedSize() const;
  uint32_t UncompressedSize() const;
  uint32_t ExternalAttributes() const;
  uint32_t LocalHeaderOffset() const;
  // A folder's own entry (its name ends with "\"), or one without a name: no file to count.
  bool IsFolder() const { return FileName.empty() || FileName.back() == '\\'; }
};

class TZip;

using TNotifyEvent = std::function<void(TZip& sender)>;
using TZEDBeginFileEvent =
    std::function<void(TZip& sender, const std::string& filename, int file_size, int batch_count,
                       int total_bytes_in_batch)>;
using TProgressEvent =
    std::function<void(TZip& sender, const std::string& filename, int bytes_done, int total_bytes)>;
using TZEDEndBatchEvent =
    std::function<void(TZip& sender, int skipped_count, int batch_count, int total_bytes_in_batch)>;
// What the library skipped (a file, an entry or a file spec, as the library names it; may be
// empty), its reason code, and the cause of the system call that made it skip, if one did.
using TZEDSkippedEvent =
    std::function<void(TZip& sender, const std::string& what, int reason, platform::Cause cause)>;
// A message of the library: why a file was skipped, or why the run failed. A message that ends a
// run names the cause of the system call that failed, and, when the drive filled while an archive
// was written, needed is the bytes the archive was estimated to need in all (else 0).
using TZEDMessageEvent = std::function<void(TZip& sender, const std::string& text,
                                            platform::Cause cause, int64_t needed)>;

class TProgressForm;

class TZip {
 public:
  TZip();
  // Unloads both libraries, for every TZip of the process.
  ~TZip();
  TZip(const TZip&) = delete;
  TZip& operator=(const TZip&) = delete;

  // Opens the archive and reads its directory, or creates an empty archive when the file does not
  // exist; then fires OnContentsChanged. An empty name closes the archive.
  void ZipFileName(const std::string& name);
  const std::string& ZipFileName() const { return zip_file_name_; }

  const std::string& ZipComment() const { return end_record_.comment; }
  // Rewrites the comment at the end of the archive file; nothing happens when it is unchanged.
  void ZipComment(const std::string& comment);

  const TEOCHInfo& EndRecord() const { return end_record_; }
  // True when the open archive is one disk of several.
  bool MultipleDisk() const { return end_record_.ThisDisk() != 0; }
  // 65535 / TotalBytesInBatch of the running batch, or 1.0 when that is 0.
  float ProgressScale() const { return progress_scale_; }

  // Adds the files of FileSpecs to the open archive; the library's count, 0 when refused.
  int Add();
  // The window that owns the component is closing: the progress window goes now, and no run
  // shows one again, while the run under way goes on to its end unseen.
  void DropProgressWindow();
  // Extracts the entries named by FileSpecs (all when it is empty) into ExtrBaseDir.
  int Extract();

  // Re-reads Contents and the comment from the archive file.
  void ReadDirectory();
  // Position of the end record in an open archive file, or -1.
  static int64_t LocateEndRecord(platform::File& file);
  // The disk number of a "PKBACK# nnn" label on the removable drive holding name; 0 for none.
  static int DiskLabelNumber(const std::string& name);
  // Waits, prompting, until the disk labelled with disk number n is in the drive; false when the
  // user gives up.
  static bool AwaitDisk(const std::string& name, int n);

  // Where the libraries report back; the record's caller is the TZip running them.
  static std::int32_t ZIPDLL_CALL LibraryCallback(zipdll::CallbackRecord* record);

  std::string Password;
  std::string DllDirectory;
  std::string TempDir;
  std::string AddBaseDir;
  uint8_t AddOptions = kDefaultAddOptions;  // kAdd... bits (zip_options.h)
  std::string ExtrBaseDir;
  uint8_t ExtrOptions = kDefaultExtrOptions;  // kExtr... bits
  base::StringList FileSpecs;
  std::vector<TFileInfo> Contents;
  bool OemNames = false;
  bool Cancelled = false;
  bool ShowProgressDialog = true;
  bool Trace = false;
  int32_t BatchCount = 0;
  int32_t TotalBytesInBatch = 0;
  int32_t BytesDone = 0;
  int32_t SkippedCount = 0;

  TZEDBeginFileEvent OnZEDBeginFileEvent;
  TProgressEvent OnZEDProgressEvent;
  TZEDEndBatchEvent OnZEDEndBatchEvent;
  TZEDSkippedEvent OnZEDSkippedEvent;
  TZEDMessageEvent OnZEDMessageEvent;
  TProgressEvent OnMergeProgress;  // kept for the caller; the component never fires it
  TProgressEvent OnSpanProgress;   // kept for the caller; the component never fires it
  TNotifyEvent OnContentsChanged;

 private:
  bool ReadCentralHeaders(std::unique_ptr<platform::File>& file);
  // Reads the larger end record when the 32-bit one is saturated; false when there is none.
  bool ReadZip64EndRecord(platform::File& file);
  void FireContentsChanged();

  int AddRun();
  // Runs one library call with the trace file open and the progress window shown (when wanted),
  // releasing both however the call ends.
  int CallLibrary(const std::function<int()>& call, bool let_messages_run_first);
  int CallZipDll(zipdll::ZipCommandBlock& block);
  int CallUnzDll(zipdll::UnzipCommandBlock& block);
  void OpenTraceFile();
  void CloseTraceFile();

  void OnCallbackAction(zipdll::CallbackRecord& record);
  void AskPassword(zipdll::CallbackRecord& record);
  void AskCrcError(zipdll::CallbackRecord& record);
  void AnswerOverwrite(zipdll::CallbackRecord& record);
  void HideProgress();
  void ShowProgressAgain();

  std::string zip_file_name_;
  TEOCHInfo end_record_;
  // Where the central directory starts and how many entries it has, from whichever end record
  // the archive has.
  uint64_t total_entries_ = 0;
  uint64_t directory_size_ = 0;
  uint64_t directory_offset_ = 0;
  int64_t directory_end_ = -1;  // the position the directory ends at on a single disk
  std::string current_file_name_;
  float progress_scale_ = 1.0f;
  std::unique_ptr<TProgressForm> progress_form_;
  std::unique_ptr<platform::File> trace_file_;
};

}  // namespace zip
