#include "support/temp_folder.h"

namespace test_support {

// The Windows build runs on the real drives (under Wine, the test prefix's drive C:); each test
// keeps to folders of its own below the temporary folder.
void InstallTestDrives() {}

}  // namespace test_support
