// The shell's CD writing service (its burner object and the CD staging folder). Windows has it
// from XP on; other systems have none, and tests install a fake through the override below.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

class CdBurnService {
 public:
  virtual ~CdBurnService();
  // Each returns a status: 0 for success, otherwise the HRESULT (or another error code).
  virtual long HasRecordableDrive(bool* has) = 0;
  // The recorder's drive as the shell gives it (four wide characters, "D:\"), in ANSI.
  virtual long GetRecorderDriveLetter(std::string* drive) = 0;
  // Burns the staging folder, with the shell's wizard owned by owner_window (may be null). Runs on
  // the calling thread; call it from the thread that is to burn.
  virtual long Burn(void* owner_window) = 0;

  // How far a burn is: the share done, 0 to 100, and a line saying what it does.
  using BurnProgress = std::function<void(int percent, const std::string& line)>;
  // Whether the service shows a window of its own while it burns (the shell's wizard). One that
  // does not tells its progress through BurnShowingProgress, for the program to show.
  virtual bool ShowsOwnProgress() const { return true; }
  // Burn, telling progress as it goes (on the calling thread); on a failure, *failure says why in
  // plain words.
  virtual long BurnShowingProgress(void* owner_window, const BurnProgress& progress,
                                   std::string* failure) {
    (void)progress;
    (void)failure;
    return Burn(owner_window);
  }
};

// Creates the shell's burner object; null plus the error's message in *error when it cannot.
std::unique_ptr<CdBurnService> CreateCdBurnService(std::string* error);

// The shell's CD staging folder, without a trailing backslash; false when there is none.
bool GetCdBurnArea(std::string* path);

// For tests: replaces both functions above process-wide until reset with std::nullopt.
struct CdBurnServiceOverride {
  std::function<std::unique_ptr<CdBurnService>(std::string*)> create;
  std::function<bool(std::string*)> burn_area;
};
void SetCdBurnServiceOverride(std::optional<CdBurnServiceOverride> override_with);

}  // namespace platform
