#include <dlfcn.h>
#include <stdlib.h>

#include "support/faults.h"

namespace test_support {

bool FaultShimLoaded() { return dlsym(RTLD_DEFAULT, "rd_fault_shim_loaded") != nullptr; }

ArmedFault::ArmedFault(std::string variable, const std::string& value)
    : variable_(std::move(variable)) {
  setenv(variable_.c_str(), value.c_str(), 1);
}

ArmedFault::~ArmedFault() { unsetenv(variable_.c_str()); }

}  // namespace test_support
