// The CD burner's worker thread: stages the queued files, runs the shell's CD writing wizard and
// hands the end of the burn back to the main thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class CdBurnService;
}

namespace cdburner {

// Everything a burn needs, copied when it starts so that the thread shares nothing with the
// component but the service object.
struct BurnJob {
  std::vector<std::string> files;  // full paths, in queue order
  std::string burn_area;           // staging folder, with a trailing backslash
  void* owner_window = nullptr;    // owner of the shell's wizard
  std::shared_ptr<platform::CdBurnService> service;
  std::function<void()> hand_over;  // run on the main thread once the wizard has closed
};

// Copies each file into burn_area under its bare name. A file of that name which lay in the
// staging folder before this call is replaced (a leftover of an earlier burn must not go onto this
// disc in place of the new file); otherwise an existing target is kept, so that of two queued files
// with one name the first wins. Folders, missing files and failed copies are skipped. Returns the
// number of files not copied; nothing is copied when burn_area is empty.
int StageFiles(const std::vector<std::string>& files, const std::string& burn_area);

class TBurnThread {
 public:
  // Starts the burn on a new thread at once; the thread frees itself when its work is done.
  // False (and nothing started) when the system cannot create a thread.
  static bool Start(BurnJob job);

 private:
  explicit TBurnThread(BurnJob job) : job_(std::move(job)) {}
  // Stages, burns, then waits on the main thread's hand-over; false when there was no main thread
  // to hand over to any more (the program let its toolkit go).
  bool Execute();

  BurnJob job_;
};

}  // namespace cdburner
