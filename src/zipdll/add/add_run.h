// One add: the files named by a checked ZipCommandBlock go into its archive, which is rewritten
// through a temporary file and replaced only when the new one is complete.
#pragma once

#include <cstdint>

#include "zipdll/call_interface.h"
#include "zipdll/common/reporter.h"

namespace zipdll::add {

// Runs the add; the block has been checked (version and check value). Returns the number of files
// added, 0 when the run was refused or failed. Throws RunCancelled when the caller stops it; the
// old archive is then as it was.
int32_t RunAdd(const ZipCommandBlock& block, Reporter& reporter);

}  // namespace zipdll::add
