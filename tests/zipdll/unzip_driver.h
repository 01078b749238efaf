// Runs UnzDll through its C interface, as the archive component does: loads the library by name,
// fills the block field by field and records every callback.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "zipdll/call_interface.h"

namespace unzip_test {

struct CallbackEvent {
  zipdll::Slot action;
  zipdll::Slot flag;
  zipdll::Slot value;
  std::string text;
};

struct UnzipRequest {
  std::string archive;
  std::string target;  // with a trailing backslash
  std::vector<std::string> specs;
  std::string password;
  bool test_only = false;
  bool update = false;
  bool freshen = false;
  bool recreate_folders = false;
  bool overwrite = true;
  zipdll::Slot password_attempts = 3;
};

class UnzipDriver {
 public:
  // The loaded library's entry points; null when it cannot be loaded.
  static zipdll::UnzDllExecFunction Exec();
  static zipdll::VersionFunction Version();

  int Run(const UnzipRequest& request);
  // Calls the library with a block the test filled itself (callback and caller set here).
  int RunBlock(zipdll::UnzipCommandBlock* block);

  // Answers a callback: may change flag, value and text, and returns 0 or -1.
  std::function<int(zipdll::CallbackRecord* record)> answer;
  std::vector<CallbackEvent> events;

  std::vector<zipdll::Slot> Actions() const;
  std::vector<CallbackEvent> Of(zipdll::Slot action) const;
  // Texts of the messages (action 4), joined by new lines.
  std::string Messages() const;
  // Reasons of the skips (action 11), in order.
  std::vector<zipdll::Slot> SkipReasons() const;

 private:
  static std::int32_t ZIPDLL_CALL OnCallback(zipdll::CallbackRecord* record);
};

}  // namespace unzip_test
