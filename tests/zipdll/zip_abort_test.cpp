// Stopping an add at any callback, and failures on the way, leave the old archive as it was.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zipdll/zip_driver.h"

namespace zip_test {
namespace {

using test_support::TempFolder;

std::string Contents(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, &bytes);
  return bytes;
}

TEST(ZipDllAbort, EveryCallbackCanStopTheRunWithoutHarm) {
  TempFolder folder;
  folder.Write("in\\one.txt", std::string(150000, 'a'));
  folder.Write("in\\two.txt", "two");
  folder.Write("in\\three.txt", std::string(1000, 'c'));
  const std::string archive = folder / "keep\\archive.zip";
  folder.Write("keep\\old.txt", "the old archive's only file");
  ZipDriver first;
  AddRequest old_request(archive, {folder / "keep\\old.txt"});
  old_request.comment = "old comment";
  ASSERT_EQ(first.Add(old_request), 1);
  const std::string before = Contents(archive);
  const std::vector<std::string> listing = Listing(folder / "keep\\");

  // A full run, with a file skipped too, to count its callbacks.
  AddRequest request(archive, {folder / "in\\*.txt", folder / "in\\missing.txt"});
  request.comment = "new";
  ZipDriver full;
  ASSERT_NE(full.Add(request, [](zipdll::ZipCommandBlock& block) { block.trace = zipdll::kTrue; }),
            0);
  const size_t callbacks = full.events.size();
  ASSERT_GT(callbacks, 8u);
  const std::string after = Contents(archive);
  ASSERT_NE(after, before);

  // The end of the batch is said only once the new archive is in its place: the last callback.
  ASSERT_EQ(full.events.back().action, zipdll::kActionEndOfBatch);

  for (size_t stop = 0; stop < callbacks; ++stop) {
    ASSERT_TRUE(platform::WriteWholeFileSafely(archive, before));
    ZipDriver driver;
    driver.abort_at = static_cast<int>(stop);
    const int result =
        driver.Add(request, [](zipdll::ZipCommandBlock& block) { block.trace = zipdll::kTrue; });
    // Nothing more is said once the caller has answered -1.
    EXPECT_EQ(driver.events.size(), stop + 1) << "stopped at " << stop;
    EXPECT_EQ(Listing(folder / "keep\\"), listing) << "stopped at " << stop;
    if (stop + 1 == callbacks) {
      // Too late to stop: the archive is complete, and the result says what went in.
      EXPECT_EQ(result, 3);
      EXPECT_EQ(Contents(archive), after);
      continue;
    }
    EXPECT_EQ(result, 0) << "stopped at " << stop;
    EXPECT_EQ(Contents(archive), before) << "stopped at " << stop;
  }
}

TEST(ZipDllAbort, AnArchiveThatCannotBeReadIsNeverReplaced) {
  TempFolder folder;
  const std::string file = folder.Write("a.txt", "a");
  const std::string not_zip = folder.Write("broken.zip", std::string(5000, 'z'));
  ZipDriver driver;
  EXPECT_EQ(driver.Add({not_zip, {file}}), 0);
  EXPECT_EQ(Contents(not_zip), std::string(5000, 'z'));
  EXPECT_FALSE(driver.Messages().empty());
  EXPECT_EQ(Listing(folder.path()), (std::vector<std::string>{"a.txt", "broken.zip"}));
}

TEST(ZipDllAbort, AReadOnlyArchiveIsRefusedUntouched) {
  TempFolder folder;
  const std::string file = folder.Write("a.txt", "a");
  const std::string archive = folder / "ro.zip";
  ZipDriver first;
  ASSERT_EQ(first.Add({archive, {file}}), 1);
  const std::string before = Contents(archive);
  folder.Write("b.txt", "b");
  ASSERT_TRUE(platform::SetFileAttributes(archive, platform::kAttrReadOnly));
  ZipDriver driver;
  EXPECT_EQ(driver.Add({archive, {folder / "b.txt"}}), 0);
  EXPECT_NE(driver.Messages().find("ro.zip"), std::string::npos) << driver.Messages();
  EXPECT_EQ(Contents(archive), before);
  EXPECT_EQ(Listing(folder.path()), (std::vector<std::string>{"a.txt", "b.txt", "ro.zip"}));
  platform::SetFileAttributes(archive, 0);
}

}  // namespace
}  // namespace zip_test
