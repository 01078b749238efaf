// Runs ZipDll through its C interface as the archive component does: loads the library by name,
// fills the block from AddOptions bits and records every callback. Also reads an archive back
// (names, flags, times, contents) without the library, so the checks run on every platform.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/tools.h"
#include "zip/zip_options.h"
#include "zipdll/call_interface.h"

namespace zip_test {

struct Event {
  zipdll::Slot action;
  zipdll::Slot value;
  std::string text;
};

struct AddRequest {
  AddRequest(std::string archive_name, std::vector<std::string> file_specs,
             uint8_t add_options = zip::kDefaultAddOptions,
             std::string add_base_dir = std::string())
      : archive(std::move(archive_name)),
        specs(std::move(file_specs)),
        options(add_options),
        base_dir(std::move(add_base_dir)) {}

  std::string archive;
  std::vector<std::string> specs;
  uint8_t options = zip::kDefaultAddOptions;  // AddOptions bits (zip/zip_options.h)
  std::string base_dir;                       // AddBaseDir
  std::string password;
  std::string comment;
  bool trace = false;
};

class ZipDriver {
 public:
  // The loaded library's entry points; null when it cannot be loaded.
  static zipdll::ZipDllExecFunction Exec();
  static zipdll::VersionFunction Version();

  // Fills the block and the entries as the component does, lets adjust change them, and runs.
  int Add(const AddRequest& request,
          const std::function<void(zipdll::ZipCommandBlock&)>& adjust = nullptr);

  // Callback number abort_at (counted from 0) answers -1; -1 never aborts.
  int abort_at = -1;
  // Called with each callback as it comes, on the engine's thread, before it is answered.
  std::function<void(const Event&)> on_event;
  std::vector<Event> events;

  std::vector<zipdll::Slot> Actions() const;
  std::vector<Event> Of(zipdll::Slot action) const;
  std::string Messages() const;
  std::vector<zipdll::Slot> SkipReasons() const;

 private:
  static std::int32_t ZIPDLL_CALL OnCallback(zipdll::CallbackRecord* record);
};

// One entry of an archive as read back.
struct Member {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  int32_t dos_time = 0;
  uint32_t external_attributes = 0;
  uint32_t crc = 0;
  uint64_t compressed_size = 0;
  std::string data;      // decrypted and inflated; empty when that failed
  bool data_ok = false;  // CRC matched
};

struct ArchiveContents {
  bool ok = false;
  std::string error;
  std::string comment;
  std::vector<Member> members;
  const Member* Find(const std::string& name) const;
  std::vector<std::string> Names() const;
};

ArchiveContents ReadArchive(const std::string& path, const std::string& password = "");

// The names in a folder ("C:\\x\\", with its backslash), sorted, without "." and "..": a left-over
// work file shows.
std::vector<std::string> Listing(const std::string& folder);

using test_support::HostQuoted;
using test_support::RunTool;
using test_support::ToolsAvailable;

}  // namespace zip_test
