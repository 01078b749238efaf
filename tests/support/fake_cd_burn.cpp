#include "support/fake_cd_burn.h"

namespace test_support {
namespace {

// What a component owns: it forwards to the test's fake, which outlives it.
class Forwarder : public platform::CdBurnService {
 public:
  explicit Forwarder(FakeCdBurnService& fake) : fake_(fake) {}
  long HasRecordableDrive(bool* has) override { return fake_.HasRecordableDrive(has); }
  long GetRecorderDriveLetter(std::string* drive) override {
    return fake_.GetRecorderDriveLetter(drive);
  }
  long Burn(void* owner_window) override { return fake_.Burn(owner_window); }

 private:
  FakeCdBurnService& fake_;
};

}  // namespace

FakeCdBurnService::~FakeCdBurnService() { Uninstall(); }

void FakeCdBurnService::Install(const std::string& staging_folder) {
  platform::CdBurnServiceOverride over;
  over.create = [this](std::string* error) -> std::unique_ptr<platform::CdBurnService> {
    if (!creatable) {
      *error = create_error;
      return nullptr;
    }
    ++created;
    return std::make_unique<Forwarder>(*this);
  };
  over.burn_area = [staging_folder](std::string* path) {
    *path = staging_folder;
    return !staging_folder.empty();
  };
  platform::SetCdBurnServiceOverride(std::move(over));
  installed_ = true;
}

void FakeCdBurnService::Uninstall() {
  if (installed_) platform::SetCdBurnServiceOverride(std::nullopt);
  installed_ = false;
}

void* FakeCdBurnService::LastOwnerWindow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_owner_window_;
}

std::thread::id FakeCdBurnService::LastBurnThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_burn_thread_;
}

long FakeCdBurnService::HasRecordableDrive(bool* has) {
  *has = has_drive;
  return has_drive_status;
}

long FakeCdBurnService::GetRecorderDriveLetter(std::string* drive_out) {
  *drive_out = drive_status == 0 ? drive : std::string();
  return drive_status;
}

long FakeCdBurnService::Burn(void* owner_window) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_owner_window_ = owner_window;
    last_burn_thread_ = std::this_thread::get_id();
  }
  if (on_burn) on_burn();
  ++burn_calls;
  return burn_status;
}

}  // namespace test_support
