#include <gmock/gmock.h>

#include "support/temp_folder.h"

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  test_support::InstallTestDrives();
  return RUN_ALL_TESTS();
}
