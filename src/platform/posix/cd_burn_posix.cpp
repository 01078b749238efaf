// Other systems than Windows have no shell CD writing service and no CD staging folder.
#include <memory>
#include <string>

#include "platform/cd_burn_service.h"

namespace platform {

std::unique_ptr<CdBurnService> CreateNativeCdBurnService(std::string* error) {
  *error = "the Windows shell's CD writing service is not available on this system";
  return nullptr;
}

bool GetNativeCdBurnArea(std::string* path) {
  path->clear();
  return false;
}

}  // namespace platform
