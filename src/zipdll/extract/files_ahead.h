// The new files of an extracting run, written on worker threads ahead of the thread that reports
// them, so that making files, inflating and writing keep every core busy. The run says what a job
// is (ExtractRun::WriteAhead): it either writes its file whole or leaves nothing behind, and in
// the second case the run goes through that entry itself, the usual way, with its questions and
// its reports. A file written ahead that the run never keeps (it was cancelled, or an earlier
// entry stopped it) is deleted; the run removes the folders made for such files alone.
#pragma once

#include <cstddef>
#include <string>

#include "base/work_ahead.h"

namespace zipdll::extract {

// What one job left on the disk, owned until the run keeps it.
class FileAhead {
 public:
  FileAhead() = default;
  // path was written whole (empty: an entry read through and found sound).
  explicit FileAhead(std::string path) : written_(true), path_(std::move(path)) {}
  FileAhead(FileAhead&& other) noexcept;
  FileAhead& operator=(FileAhead&& other) = delete;
  // Deletes the file unless it was kept.
  ~FileAhead();

  bool written() const { return written_; }
  // The file is the run's: it stays, whatever happens next.
  void Keep() { written_ = false; }

 private:
  bool written_ = false;
  std::string path_;
};

// Jobs are indexes into the run's list of them; at most kFilesAhead are written beyond the one the
// run takes.
using FilesAhead = base::WorkAhead<size_t, FileAhead>;
constexpr size_t kFilesAhead = 64;

}  // namespace zipdll::extract
