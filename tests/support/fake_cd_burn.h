// A stand-in for the shell's CD writing service, which no test machine has. While installed, every
// TCDBurner created gets a service that answers with this object's settings and records its Burn
// calls here; the staging folder is whatever folder the test names.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/cd_burn_service.h"

namespace test_support {

class FakeCdBurnService : public platform::CdBurnService {
 public:
  FakeCdBurnService() = default;
  // Uninstalls itself.
  ~FakeCdBurnService() override;
  FakeCdBurnService(const FakeCdBurnService&) = delete;
  FakeCdBurnService& operator=(const FakeCdBurnService&) = delete;

  // Makes this the process's CD service, with staging_folder (a Windows path, with or without a
  // trailing backslash) as the staging folder; an empty one means the shell has none.
  void Install(const std::string& staging_folder);
  void Uninstall();

  // Settings, read when a component is created (and by Burn).
  bool creatable = true;  // false: creation fails with create_error
  std::string create_error = "Class not registered";
  bool has_drive = true;  // what HasRecordableDrive reports
  long has_drive_status = 0;
  long drive_status = 0;       // GetRecorderDriveLetter's status
  std::string drive = "E:\\";  // its drive, when the status is 0
  long burn_status = 0;
  // Run inside Burn, on the burning thread, before Burn returns.
  std::function<void()> on_burn;

  // Record.
  std::atomic<int> created{0};     // services handed out
  std::atomic<int> burn_calls{0};  // Burn calls so far
  void* LastOwnerWindow() const;
  std::thread::id LastBurnThread() const;

  // CdBurnService, used by the services handed out.
  long HasRecordableDrive(bool* has) override;
  long GetRecorderDriveLetter(std::string* drive_out) override;
  long Burn(void* owner_window) override;

 private:
  bool installed_ = false;
  mutable std::mutex mutex_;
  void* last_owner_window_ = nullptr;
  std::thread::id last_burn_thread_;
};

}  // namespace test_support
