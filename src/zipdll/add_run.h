// One add: the files named by a checked ZipCommandBlock go into its archive, which is rewritten
// through a temporary file and replaced only when the new one is complete.
#pragma once

#include <cstdint>
#include <string>

#include "zipdll/call_interface.h"

namespace zipdll {

// Reports to the caller through the block's callback; every call answers whether to go on.
class Reporter {
 public:
  Reporter(Callback callback, void* caller) : callback_(callback), caller_(caller) {}
  bool Report(Action action, int64_t value, const std::string& text = std::string());
  bool Message(const std::string& text) { return Report(kActionMessage, 0, text); }
  // A message saying why, then the skip itself with what was skipped (a file or a file spec) as
  // its text, so that the caller can tell which of the files it was told of did not go in.
  bool Skipped(SkipReason reason, const std::string& what, const std::string& why);

 private:
  Callback callback_;
  void* caller_;
};

// Runs the add; the block has been checked (version and check value). Returns the number of files
// added, 0 when the run was refused, failed or stopped by the caller.
int32_t RunAdd(const ZipCommandBlock& block, Reporter& reporter);

}  // namespace zipdll
