// Faults of the disk armed for the span of a test, below the program (tests/support/fault_shim.c,
// which CTest preloads into the test programs that use this). Linux only.
#pragma once

#include <string>

namespace test_support {

// True when the fault shim is loaded into this process, so that an armed fault can happen.
bool FaultShimLoaded();

// Arms one fault of the shim (RD_FAULT_FLIP, RD_FAULT_READ, RD_FAULT_RENAME) until destroyed.
class ArmedFault {
 public:
  ArmedFault(std::string variable, const std::string& value);
  ~ArmedFault();
  ArmedFault(const ArmedFault&) = delete;
  ArmedFault& operator=(const ArmedFault&) = delete;

 private:
  std::string variable_;
};

}  // namespace test_support
