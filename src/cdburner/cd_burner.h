// The CD burner component: queues files, stages them in the shell's CD staging folder and asks
// the shell's CD writing service to burn them, on a thread of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"

namespace platform {
class CdBurnService;
}

namespace cdburner {

class TCDBurner;

// iResult is 0 when a burn finished, -1 when StartBurn could not start one.
using TBurnDoneEvent = std::function<void(TCDBurner& sender, int iResult)>;

class TCDBurner : public ui::Component {
 public:
  // owner must be a ui::Form; otherwise throws std::runtime_error
  // "Error: Component must be owned by TForm". Finds the staging folder and the CD writer; when
  // there is no usable writer the component is never Equipped and LastError says why.
  explicit TCDBurner(ui::Component* owner);
  // Let a burn end first: a burn that outlives the component still stages and burns, but its
  // end is then reported to no one.
  ~TCDBurner() override;

  TCDBurner(const TCDBurner&) = delete;
  TCDBurner& operator=(const TCDBurner&) = delete;

  bool IsBurning() const;
  bool Equipped() const;
  std::string LastError() const;
  std::string BurnerDrive() const;
  // The staging folder with a trailing backslash, or empty when there is none.
  std::string BurnArea() const;
  // Bytes queued plus bytes already in the staging folder.
  int64_t BurnSize() const;

  TBurnDoneEvent OnBurnDone;

  // Queues an existing file (any attributes) for the next burn; false, nothing queued, when there
  // is none. Files are copied only when a burn starts.
  bool AddFile(const std::string& file_name);
  // Queues every file of a folder tree; they reach the disc side by side under their bare names.
  // False when the folder does not exist or a file of it could not be queued.
  bool AddFolder(const std::string& folder);
  // Empties the queue and deletes everything in the staging folder. False, with LastError, while
  // burning (then nothing changes) or when items could not be deleted. Throws std::runtime_error
  // "ASSERT FAILED:  ..." when there is no staging folder.
  bool ClearFiles();
  // Hands the queue to a thread of its own, which copies it into the staging folder and runs the
  // shell's CD writing wizard; OnBurnDone(0) follows on the main thread. The queue is empty again
  // once a burn has started. While burning or not Equipped it only fires OnBurnDone(-1), and the
  // queue stays as it was.
  void StartBurn();

 private:
  // Called on the main thread by the burn thread once the burn is over.
  void BurnFinished();
  bool AddTree(const std::string& folder, int depth);

  ui::Form* owner_ = nullptr;
  // Shared with a running burn thread, which lets go of it on the main thread.
  std::shared_ptr<platform::CdBurnService> service_;
  // Points at this component until it is destroyed, so that a burn outliving it hands over to
  // nothing instead of to freed memory. Read and cleared on the main thread only.
  std::shared_ptr<TCDBurner*> self_;
  bool is_burning_ = false;
  bool equipped_ = false;
  std::string last_error_;
  std::string burner_drive_;
  std::string burn_area_;
  std::vector<std::string> files_;  // in call order, since the last burn started or ClearFiles
  int64_t queued_size_ = 0;
};

}  // namespace cdburner
