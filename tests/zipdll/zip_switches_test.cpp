// Each switch of the add block, as the component sets them from its AddOptions bits.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zipdll/zip_driver.h"
#include "zipformat/zip_records.h"

namespace zip_test {
namespace {

using test_support::TempFolder;
using zipdll::Slot;
using Names = std::vector<std::string>;

// The stored form of a Windows folder path: no drive, "/" separators.
std::string Stored(const std::string& windows_path) {
  std::string stored = windows_path.substr(windows_path.find(':') + 2);
  for (char& c : stored) c = c == '\\' ? '/' : c;
  return stored;
}

class ZipDllSwitches : public testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("tree\\a.cht", "a");
    folder_.Write("tree\\notes.txt", "notes");
    folder_.Write("tree\\sub\\b.cht", "bb");
    folder_.Write("tree\\sub\\deeper\\c.cht", "ccc");
    folder_.MakeFolder("tree\\empty");
    archive_ = folder_ / "out.zip";
  }

  Names Add(const std::vector<std::string>& specs, uint8_t options,
            const std::string& base = std::string()) {
    AddRequest request{archive_, specs, options, base};
    ZipDriver driver;
    result_ = driver.Add(request);
    messages_ = driver.Messages();
    skips_ = driver.SkipReasons();
    const ArchiveContents contents = ReadArchive(archive_);
    EXPECT_TRUE(contents.ok) << contents.error;
    return contents.Names();
  }

  TempFolder folder_;
  std::string archive_;
  int result_ = 0;
  std::string messages_;
  std::vector<Slot> skips_;
};

TEST_F(ZipDllSwitches, MaskWithoutRecursionTakesBareNames) {
  EXPECT_EQ(Add({folder_ / "tree\\*.CHT"}, zip::kAddUpdate), (Names{"a.cht"}));
  EXPECT_EQ(result_, 1);
}

TEST_F(ZipDllSwitches, RecursionKeepsFoldersWithoutTheDrive) {
  const std::string tree = Stored(folder_ / "tree\\");
  EXPECT_EQ(Add({folder_ / "tree\\*.cht"}, zip::kAddUpdate | zip::kAddRecurse),
            (Names{tree + "a.cht", tree + "sub/b.cht", tree + "sub/deeper/c.cht"}));
  EXPECT_EQ(result_, 3);
}

TEST_F(ZipDllSwitches, FolderEntriesOnlyWhenAskedFor) {
  const std::string tree = Stored(folder_ / "tree\\");
  folder_.Write("tree\\texts\\readme.txt", "not a chart");
  folder_.MakeFolder("tree\\sub\\hollow\\empty too");
  // A mask stores the folders on the way to what it took and the folders that hold nothing, with
  // those on the way to them; not a folder of files it does not take.
  EXPECT_EQ(
      Add({folder_ / "tree\\*.cht"}, zip::kAddUpdate | zip::kAddRecurse | zip::kAddFolderEntries),
      (Names{tree, tree + "a.cht", tree + "empty/", tree + "sub/", tree + "sub/b.cht",
             tree + "sub/deeper/", tree + "sub/deeper/c.cht", tree + "sub/hollow/",
             tree + "sub/hollow/empty too/"}));
  EXPECT_EQ(result_, 3);
  platform::DeleteFile(archive_);
  // Nothing but empty folders under a mask that takes no file: they are still what was asked for.
  EXPECT_EQ(Add({folder_ / "tree\\sub\\*.none"},
                zip::kAddUpdate | zip::kAddRecurse | zip::kAddFolderEntries),
            (Names{tree + "sub/", tree + "sub/hollow/", tree + "sub/hollow/empty too/"}));
  EXPECT_EQ(result_, 0);
  platform::DeleteFile(archive_);
  // Without folder entries an empty folder leaves nothing behind.
  EXPECT_EQ(Add({folder_ / "tree\\*.cht"}, zip::kAddUpdate | zip::kAddRecurse),
            (Names{tree + "a.cht", tree + "sub/b.cht", tree + "sub/deeper/c.cht"}));
  platform::DeleteFile(archive_);
  // A whole folder keeps every subfolder.
  const Names whole =
      Add({folder_ / "tree"}, zip::kAddUpdate | zip::kAddRecurse | zip::kAddFolderEntries);
  EXPECT_EQ(whole.size(), 12u);
  EXPECT_NE(std::find(whole.begin(), whole.end(), tree + "empty/"), whole.end());
  EXPECT_NE(std::find(whole.begin(), whole.end(), tree + "texts/"), whole.end());
  EXPECT_EQ(result_, 5);
  const ArchiveContents contents = ReadArchive(archive_);
  EXPECT_NE(contents.Find(tree + "empty/")->external_attributes & platform::kAttrDirectory, 0u);
}

TEST_F(ZipDllSwitches, RelativeSpecsAreStoredBelowTheBaseFolder) {
  EXPECT_EQ(Add({"*.cht", "sub\\deeper\\c.cht", "..\\tree\\notes.txt"},
                zip::kAddUpdate | zip::kAddRelativeToBase, folder_ / "tree"),
            (Names{"a.cht", "sub/deeper/c.cht", "tree/notes.txt"}));
  EXPECT_EQ(result_, 3);
  // The engine itself takes a relative file file_spec below the entry's root.
  ZipDriver driver;
  platform::DeleteFile(archive_);
  AddRequest request{archive_, {"sub\\*.cht"}, zip::kAddUpdate | zip::kAddRecurse};
  ASSERT_EQ(driver.Add(request,
                       [&](zipdll::ZipCommandBlock& block) {
                         static std::string root;
                         root = folder_ / "tree\\";
                         block.entries[0].root = root.c_str();
                       }),
            2)
      << driver.Messages();
  EXPECT_EQ(ReadArchive(archive_).Names(), (Names{"sub/b.cht", "sub/deeper/c.cht"}));
}

TEST_F(ZipDllSwitches, HiddenFilesOnlyWithTheirSwitch) {
  const std::string hidden = folder_.Write("tree\\.secret.cht", "hidden");
  platform::SetFileAttributes(hidden, platform::kAttrHidden);  // Windows; the dot does it on Linux
  EXPECT_EQ(Add({folder_ / "tree\\*.cht"}, zip::kAddUpdate), (Names{"a.cht"}));
  EXPECT_EQ(skips_, std::vector<Slot>{zipdll::kSkipHiddenOrSystem});
  EXPECT_NE(messages_.find("secret"), std::string::npos) << messages_;
  platform::DeleteFile(archive_);
  EXPECT_EQ(Add({folder_ / "tree\\*.cht"}, zip::kAddUpdate | zip::kAddHiddenSystem),
            (Names{".secret.cht", "a.cht"}));
  EXPECT_TRUE(skips_.empty());
  platform::SetFileAttributes(hidden, 0);
}

TEST_F(ZipDllSwitches, DosNamesAreShortAndUnique) {
  folder_.Write("long\\Long file name.text", "1");
  folder_.Write("long\\Long file other.text", "2");
  folder_.Write("long\\SHORT.TXT", "3");
  folder_.Write("long\\Sub folder\\x.y", "4");
  const std::string base = folder_ / "long";
  EXPECT_EQ(
      Add({"*.*"}, zip::kAddUpdate | zip::kAddRecurse | zip::kAddRelativeToBase | zip::kAddDosNames,
          base),
      (Names{"LONGFI~1.TEX", "LONGFI~2.TEX", "SHORT.TXT", "SUBFOL~1/X.Y"}));
}

TEST_F(ZipDllSwitches, MissingSpecsAreReportedAndSkipped) {
  EXPECT_EQ(Add({folder_ / "nothing\\*.cht", folder_ / "tree\\a.cht", folder_ / "none.txt"},
                zip::kAddUpdate),
            (Names{"a.cht"}));
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(skips_, (std::vector<Slot>{zipdll::kSkipNotFound, zipdll::kSkipNotFound}));
  EXPECT_NE(messages_.find("none.txt"), std::string::npos) << messages_;
}

TEST_F(ZipDllSwitches, UpdateAndFreshenCompareTimes) {
  const int32_t old_time = (40 << 25) | (1 << 21) | (2 << 16);  // 2020-01-02
  const int32_t new_time = (41 << 25) | (1 << 21) | (2 << 16);  // 2021-01-02
  const std::string a = folder_ / "tree\\a.cht", notes = folder_ / "tree\\notes.txt";
  ASSERT_TRUE(platform::SetFileAge(a, old_time));
  ASSERT_TRUE(platform::SetFileAge(notes, old_time));
  ASSERT_EQ(Add({folder_ / "tree\\a.cht", notes}, zip::kAddUpdate), (Names{"a.cht", "notes.txt"}));

  // Update: an unchanged time keeps the entry, a newer file replaces it, a new file is added.
  folder_.Write("tree\\a.cht", "A2");
  ASSERT_TRUE(platform::SetFileAge(a, new_time));
  folder_.Write("tree\\notes.txt", "same time, other bytes");
  ASSERT_TRUE(platform::SetFileAge(notes, old_time));
  EXPECT_EQ(Add({folder_ / "tree\\*.*"}, zip::kAddUpdate), (Names{"notes.txt", "a.cht"}));
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(skips_, std::vector<Slot>{zipdll::kSkipNotNewer});
  ArchiveContents contents = ReadArchive(archive_);
  EXPECT_EQ(contents.Find("a.cht")->data, "A2");
  EXPECT_EQ(contents.Find("notes.txt")->data, "notes");

  // Freshen: only entries already there, and only when newer.
  folder_.Write("tree\\new.cht", "new");
  folder_.Write("tree\\notes.txt", "fresher");
  ASSERT_TRUE(platform::SetFileAge(notes, new_time));
  EXPECT_EQ(Add({folder_ / "tree\\*.*"}, zip::kAddFreshen), (Names{"a.cht", "notes.txt"}));
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(skips_, (std::vector<Slot>{zipdll::kSkipNotNewer, zipdll::kSkipNotNewer}));
  contents = ReadArchive(archive_);
  EXPECT_EQ(contents.Find("notes.txt")->data, "fresher");
}

TEST_F(ZipDllSwitches, GrowingKeepsOtherEntriesAsTheyWere) {
  const std::string other = folder_.Write("other\\x.txt", std::string(30000, 'x'));
  ASSERT_EQ(Add({folder_ / "tree\\*.cht", other}, zip::kAddUpdate), (Names{"a.cht", "x.txt"}));
  const ArchiveContents before = ReadArchive(archive_);
  EXPECT_EQ(Add({folder_ / "tree\\notes.txt"}, zip::kAddUpdate),
            (Names{"a.cht", "x.txt", "notes.txt"}));
  const ArchiveContents after = ReadArchive(archive_);
  for (const std::string name : {"a.cht", "x.txt"}) {
    EXPECT_EQ(after.Find(name)->data, before.Find(name)->data);
    EXPECT_EQ(after.Find(name)->compressed_size, before.Find(name)->compressed_size);
    EXPECT_EQ(after.Find(name)->dos_time, before.Find(name)->dos_time);
    EXPECT_TRUE(after.Find(name)->data_ok);
  }
  // Without growing, the archive holds only this run's files.
  ZipDriver driver;
  ASSERT_EQ(driver.Add({archive_, {folder_ / "tree\\notes.txt"}, zip::kAddUpdate},
                       [](zipdll::ZipCommandBlock& block) { block.grow = zipdll::kFalse; }),
            1);
  EXPECT_EQ(ReadArchive(archive_).Names(), (Names{"notes.txt"}));
}

TEST_F(ZipDllSwitches, TheArchiveNeverGoesIntoItself) {
  ASSERT_EQ(Add({folder_ / "tree\\a.cht"}, zip::kAddUpdate), (Names{"a.cht"}));
  folder_.Write("beside.txt", "beside");
  // The mask takes the archive's own folder, where the new archive is being written too.
  EXPECT_EQ(Add({folder_ / "*.*"}, zip::kAddUpdate), (Names{"a.cht", "beside.txt"}));
  EXPECT_EQ(result_, 1);
}

TEST_F(ZipDllSwitches, LevelZeroStoresEverything) {
  const std::string text = folder_.Write("text.txt", std::string(20000, 't'));
  ZipDriver driver;
  ASSERT_EQ(driver.Add({archive_, {text}}, [](zipdll::ZipCommandBlock& block) { block.level = 0; }),
            1);
  const ArchiveContents contents = ReadArchive(archive_);
  ASSERT_EQ(contents.members.size(), 1u);
  EXPECT_EQ(contents.members[0].method, zipformat::kMethodStored);
  EXPECT_TRUE(contents.members[0].data_ok);
}

// Archives of other tools, with data descriptors and encrypted entries, stay valid when grown.
TEST_F(ZipDllSwitches, GrowsArchivesOfOtherTools) {
  if (!ToolsAvailable()) GTEST_SKIP() << "the other zip tools run on Linux only";
  const std::string piped = folder_ / "piped.zip", streamed = folder_ / "streamed.zip";
  std::string out;
  ASSERT_EQ(
      RunTool("printf 'secret from a pipe\\n' | zip -q -P pw " + HostQuoted(piped) + " -", &out), 0)
      << out;
  ASSERT_EQ(RunTool("python3 -c 'import sys, io, zipfile\n"
                    "class Pipe(io.RawIOBase):\n"
                    "  def __init__(self, f): self.f = f\n"
                    "  def writable(self): return True\n"
                    "  def write(self, b): return self.f.write(b)\n"
                    "with open(sys.argv[1], \"wb\") as f:\n"
                    "  with zipfile.ZipFile(Pipe(f), \"w\", zipfile.ZIP_DEFLATED) as z:\n"
                    "    z.writestr(\"\\u00c4/\\u00fc.txt\", \"x\" * 1000)\n"
                    "' " +
                        HostQuoted(streamed),
                    &out),
            0)
      << out;
  for (const std::string& archive : {piped, streamed}) {
    ZipDriver driver;
    ASSERT_EQ(driver.Add({archive, {folder_ / "tree\\a.cht"}}), 1) << driver.Messages();
    EXPECT_EQ(RunTool("unzip -P pw -t " + HostQuoted(archive), &out), 0) << out;
    EXPECT_EQ(RunTool("python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                      "z.setpassword(b\"pw\"); assert z.testzip() is None; "
                      "print(\"|\".join(z.namelist()))' " +
                          HostQuoted(archive),
                      &out),
              0)
        << out;
    EXPECT_EQ(out, archive == piped ? "-|a.cht\n" : "Ä/ü.txt|a.cht\n");
  }
}

}  // namespace
}  // namespace zip_test
