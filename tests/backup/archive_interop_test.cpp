// The archives a backup writes, read by other zip tools: every entry tests clean, the names are
// the ones the program lists, and the comment is the one it wrote.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "backup_fixture.h"
#include "platform/platform.h"
#include "support/tools.h"

namespace app {
namespace {

using ::testing::HasSubstr;

using test_support::HostQuoted;
using test_support::RunTool;

std::string Slashed(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

TEST_F(BackupTest, ArchivesListAndTestCleanlyWithUnzipAnd7z) {
  temp_.Write("Src\\Smith.cht", std::string(20000, 'a'));
  temp_.Write("Src\\Smith.omb", "ombrel");
  temp_.Write("Src\\Smith.CHM", "companion");  // a companion of two charts: listed twice
  temp_.Write("Src\\Sub\\Jones.omb", "");      // empty files are entries too
  temp_.Write("User5\\aspects.asp", "aspects");
  InstallOlderVersion(5, "", temp_ / "System5", temp_ / "Src", temp_ / "User5");
  RunBackup(temp_ / "Src", temp_ / "Dest", /*user_data=*/true);
  ASSERT_EQ(Label("PLabel").caption, "Finished.");

  for (const std::string& archive :
       {temp_ / "Dest\\ChartBackup.zip", temp_ / "Dest\\RUDadoze.zev"}) {
    const std::vector<std::string> entries = Entries(archive);
    ASSERT_FALSE(entries.empty()) << archive;
    // Other tools see a name twice as a damaged or ambiguous archive.
    EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()).size(), entries.size());
    const std::string comment = Comment(archive);
    std::string out;
    EXPECT_EQ(RunTool("unzip -t " + HostQuoted(archive), &out), 0) << out;
    EXPECT_THAT(out, HasSubstr("No errors detected"));
    EXPECT_EQ(RunTool("unzip -z " + HostQuoted(archive), &out), 0) << out;
    EXPECT_THAT(out, HasSubstr(comment));
    EXPECT_EQ(RunTool("unzip -Z1 " + HostQuoted(archive), &out), 0) << out;
    std::string listed;
    for (const std::string& name : entries) listed += Slashed(name) + "\n";
    EXPECT_EQ(out, listed);

    EXPECT_EQ(RunTool("7zz t " + HostQuoted(archive), &out), 0) << out;
    EXPECT_THAT(out, HasSubstr("Everything is Ok"));
    EXPECT_EQ(RunTool("7zz l -slt " + HostQuoted(archive), &out), 0) << out;
    EXPECT_THAT(out, HasSubstr("Comment = " + comment));
    for (const std::string& name : entries) {
      EXPECT_THAT(out, HasSubstr("Path = " +
                                 Slashed(name).substr(0, Slashed(name).find_last_not_of('/') + 1)));
    }
  }
}

}  // namespace
}  // namespace app
