// The process-wide switch between the platform's own CD service and a test's stand-in.
#include "platform/cd_burn_service.h"

#include <utility>

namespace platform {

// Defined once per platform (platform/<os>/cd_burn_<os>.cpp).
std::unique_ptr<CdBurnService> CreateNativeCdBurnService(std::string* error);
bool GetNativeCdBurnArea(std::string* path);

namespace {

std::optional<CdBurnServiceOverride>& Override() {
  static std::optional<CdBurnServiceOverride> instance;
  return instance;
}

}  // namespace

CdBurnService::~CdBurnService() = default;

std::unique_ptr<CdBurnService> CreateCdBurnService(std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  error->clear();
  const auto& over = Override();
  if (over && over->create) return over->create(error);
  return CreateNativeCdBurnService(error);
}

bool GetCdBurnArea(std::string* path) {
  path->clear();
  const auto& over = Override();
  if (over && over->burn_area) return over->burn_area(path);
  return GetNativeCdBurnArea(path);
}

void SetCdBurnServiceOverride(std::optional<CdBurnServiceOverride> override_with) {
  Override() = std::move(override_with);
}

}  // namespace platform
