// Adding: refusals, the run itself, cancelling, file specs, progress and the libraries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "zip/progress_form.h"
#include "zip_test_fixture.h"

namespace zip_test {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

constexpr unsigned kRefusalFlags = ui::kMbOk | ui::kMbIconInformation;

const char kNoArchive[] =
    "A Zip file must be openned or created before\nAdding, Deleting or Extracting files.";
const char kMultipleDisk[] =
    "Cannot Add, Delete or Extract from a multiple disk Zip file...\nMerge this Zip file onto the "
    "hard disk before retrying.";

std::vector<std::string> Names(const zip::TZip& zip) {
  std::vector<std::string> names;
  for (const zip::TFileInfo& info : zip.Contents) names.push_back(info.FileName);
  return names;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<platform::FindEntry> entries;
  platform::FindFiles(folder + "*", &entries);
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    if (!(entry.attributes & platform::kAttrDirectory)) names.push_back(entry.name);
  }
  return names;
}

std::string ProgramFolder() {
  const std::string program = platform::GetModuleFileName();
  return base::FolderOf(program);
}

using AddTest = ZipTest;

TEST_F(AddTest, RefusesInOrderAndKeepsTheSpecs) {
  zip::TZip zip;
  zip.AddBaseDir = temp_.path();
  EXPECT_EQ(zip.Add(), 0);  // no archive and no specs: only the first refusal shows
  ASSERT_EQ(toolkit_.messages.size(), 1u);
  EXPECT_EQ(toolkit_.messages[0].text, kNoArchive);
  EXPECT_EQ(toolkit_.messages[0].caption, toolkit_.title);
  EXPECT_EQ(toolkit_.messages[0].flags, kRefusalFlags);
  EXPECT_EQ(zip.AddBaseDir, "");

  zip.ZipFileName(temp_ / "a.zip");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(toolkit_.messages.back().text, "No files have been selected.");
  EXPECT_EQ(toolkit_.messages.back().flags, kRefusalFlags);

  HandLayout layout;
  layout.this_disk = 1;
  layout.directory_disk = 1;
  std::string disk = BuildArchive({{"a.txt", "a"}}, layout);
  WriteBytes(temp_ / "disk.zip", disk);
  zip.ZipFileName(temp_ / "disk.zip");
  ASSERT_EQ(zip.Contents.size(), 1u);
  EXPECT_TRUE(zip.MultipleDisk());
  zip.FileSpecs = {temp_.Write("b.txt", "b")};
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(toolkit_.messages.back().text, kMultipleDisk);
  EXPECT_EQ(toolkit_.messages.back().flags, kRefusalFlags);
  EXPECT_THAT(zip.FileSpecs, ElementsAre(temp_ / "b.txt"));
  EXPECT_EQ(ReadBytes(temp_ / "disk.zip"), disk);
  EXPECT_EQ(toolkit_.messages.size(), 3u);
  EXPECT_TRUE(toolkit_.progress_log.empty());

  // The comment of one disk of several stays as it is.
  zip.ZipComment("new");
  EXPECT_EQ(ReadBytes(temp_ / "disk.zip"), disk);
}

TEST_F(AddTest, AddsAndReadsTheArchiveAgain) {
  const std::string work = temp_.MakeFolder("work");
  zip::TZip zip;
  zip.TempDir = work;
  int changes = 0;
  zip.OnContentsChanged = [&](zip::TZip&) { ++changes; };
  zip.ZipFileName(temp_ / "a.zip");
  zip.ZipComment("kept");
  zip.FileSpecs = {temp_.Write("src\\one.cht", "first"), temp_.Write("src\\two.cht", "second")};
  EXPECT_EQ(zip.Add(), 2);
  EXPECT_THAT(Names(zip), UnorderedElementsAre("one.cht", "two.cht"));
  EXPECT_TRUE(zip.FileSpecs.empty());
  EXPECT_EQ(zip.ZipComment(), "kept");
  EXPECT_EQ(changes, 3);  // open, comment, add
  EXPECT_TRUE(FilesIn(work).empty()) << "the copy taken before the add is gone";
  EXPECT_EQ(toolkit_.progress, nullptr) << "the progress window is freed";
  EXPECT_TRUE(toolkit_.messages.empty());
}

TEST_F(AddTest, CancelFromTheProgressWindowLeavesTheArchiveAsItWas) {
  const std::string name = MakeArchive("a.zip", {{"old.txt", "old contents"}});
  const std::string before = ReadBytes(name);
  zip::TZip zip;
  zip.ZipFileName(name);
  std::string big;
  for (int i = 0; i < 200000; ++i) big += std::to_string(i * 7919);
  zip.FileSpecs = {temp_.Write("new1.txt", big), temp_.Write("new2.txt", big)};
  bool clicked = false;
  toolkit_.on_process_messages = [&](int) {
    if (!clicked && toolkit_.progress) {
      clicked = true;
      toolkit_.progress->Click();
    }
  };
  zip.Add();
  EXPECT_TRUE(zip.Cancelled);
  EXPECT_TRUE(ReadBytes(name) == before);
  EXPECT_TRUE(zip.FileSpecs.empty());
  ASSERT_FALSE(toolkit_.progress_log.empty());
  EXPECT_EQ(toolkit_.progress_log.back(), "freed");
  EXPECT_EQ(toolkit_.progress_log[toolkit_.progress_log.size() - 2], "hide");
}

TEST_F(AddTest, CancelPutsBackWhatTheEngineSpoilt) {
  const std::string name = MakeArchive("a.zip", {{"old.txt", "old contents"}});
  const std::string before = ReadBytes(name);
  const std::string work = temp_.MakeFolder("work");
  zip::TZip zip;
  zip.ShowProgressDialog = false;
  zip.TempDir = work;
  zip.ZipFileName(name);
  zip.DllDirectory = ProgramFolder() + "spoiling_engine";
  zip.OnZEDProgressEvent = [](zip::TZip& sender, const std::string&, int, int) {
    sender.Cancelled = true;
  };
  zip.FileSpecs = {temp_.Write("new.txt", "new")};
  zip.Add();
  EXPECT_TRUE(ReadBytes(name) == before);
  EXPECT_TRUE(FilesIn(work).empty());

  // Not cancelled, what the engine wrote stays.
  zip.OnZEDProgressEvent = nullptr;
  zip.FileSpecs = {temp_ / "new.txt"};
  EXPECT_THROW(zip.Add(), zip::ZipException) << "the spoilt archive is read again";
  EXPECT_EQ(ReadBytes(name), "half-written");
  EXPECT_TRUE(FilesIn(work).empty()) << "the copy goes on the way out of an exception too";
}

TEST_F(AddTest, RelativeSpecsAreTakenFromTheBaseFolder) {
  const std::string before = platform::GetCurrentDirectory();
  const std::string base = temp_.MakeFolder("base");
  temp_.Write("base\\one.txt", "1");
  temp_.Write("base\\sub\\two.txt", "2");
  const std::string other = temp_.Write("other\\three.txt", "3");
  const std::string no_drive = temp_.Write("other\\five.txt", "5").substr(2);
  zip::TZip zip;
  zip.ShowProgressDialog = false;
  zip.ZipFileName(temp_ / "a.zip");
  std::vector<std::string> begun;
  zip.OnZEDBeginFileEvent = [&](zip::TZip&, const std::string& file, int, int, int) {
    begun.push_back(file);
  };
  zip.AddOptions = zip::kAddUpdate | zip::kAddRelativeToBase;
  zip.AddBaseDir = base;
  zip.FileSpecs = {"one.txt", "sub\\two.txt", other, no_drive};
  EXPECT_EQ(zip.Add(), 4);
  // Specs with a drive or a leading backslash are passed on as they were given.
  EXPECT_THAT(begun,
              UnorderedElementsAre(base + "one.txt", base + "sub\\two.txt", other, no_drive));
  // Outside the base folder the whole path is kept, without its drive.
  EXPECT_THAT(Names(zip),
              UnorderedElementsAre("one.txt", "sub\\two.txt", other.substr(3), no_drive.substr(1)));
  EXPECT_EQ(zip.AddBaseDir, "");
  EXPECT_EQ(platform::GetCurrentDirectory(), before);

  // Without 0x08 a relative file file_spec is looked for in the current folder, which the base
  // folder is made for the run only: the folder current before is current again after it.
  temp_.Write("base\\four.txt", "4");
  zip.AddOptions = zip::kAddUpdate;
  zip.AddBaseDir = base;
  zip.FileSpecs = {"four.txt"};
  EXPECT_EQ(zip.Add(), 1);
  EXPECT_EQ(platform::GetCurrentDirectory(), before);
}

TEST_F(AddTest, ReportsProgressOfTheWholeBatch) {
  zip::TZip zip;
  zip.ZipFileName(temp_ / "a.zip");
  std::vector<int> done;
  int total = -1;
  zip.OnZEDProgressEvent = [&](zip::TZip&, const std::string&, int bytes_done, int total_bytes) {
    done.push_back(bytes_done);
    total = total_bytes;
  };
  int batch = 0;
  zip.OnZEDEndBatchEvent = [&](zip::TZip&, int skipped, int batch_count, int) {
    EXPECT_EQ(skipped, 0);
    batch = batch_count;
  };
  std::vector<int> sizes;
  zip.OnZEDBeginFileEvent = [&](zip::TZip&, const std::string&, int size, int, int) {
    sizes.push_back(size);
  };
  zip.FileSpecs = {temp_.Write("a.txt", std::string(300000, 'a')),
                   temp_.Write("b.txt", std::string(1000, 'b'))};
  EXPECT_EQ(zip.Add(), 2);
  EXPECT_EQ(total, 301000);
  EXPECT_EQ(batch, 2);
  EXPECT_THAT(sizes, UnorderedElementsAre(300000, 1000));
  ASSERT_FALSE(done.empty());
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_EQ(done.back(), 301000);
  const auto& log = toolkit_.progress_log;
  EXPECT_NE(std::find(log.begin(), log.end(), "max:65535"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "position:65535"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "caption:" + zip::ProgressCaption), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "label:" + (temp_ / "b.txt")), log.end());
}

TEST_F(AddTest, CallbackFollowsTheActionTable) {
  zip::TZip zip;
  zipdll::CallbackRecord record = {};
  record.caller = &zip;
  auto call = [&](zipdll::Slot action, zipdll::Slot value) {
    record.action = action;
    record.value = value;
    return zip::TZip::LibraryCallback(&record);
  };
  EXPECT_EQ(call(zipdll::kActionBatchBytes, 0), 0);
  EXPECT_EQ(zip.ProgressScale(), 1.0f);
  EXPECT_EQ(call(zipdll::kActionBatchBytes, 200), 0);
  EXPECT_EQ(zip.ProgressScale(), 65535.0f / 200);
  EXPECT_EQ(call(zipdll::kActionBatchFiles, 4), 0);
  EXPECT_EQ(zip.BatchCount, 4);
  call(zipdll::kActionProgress, 50);
  call(zipdll::kActionProgress, 25);
  EXPECT_EQ(zip.BytesDone, 75);
  call(zipdll::kActionSkipped, zipdll::kSkipNotFound);
  EXPECT_EQ(zip.SkippedCount, 1);
  EXPECT_EQ(call(7, 0), 0);
  EXPECT_EQ(call(12, 0), 0);

  // Once cancelled, every call is answered with abort and changes nothing.
  zip.Cancelled = true;
  const int pumps = toolkit_.pumps;
  EXPECT_EQ(call(zipdll::kActionProgress, 25), -1);
  EXPECT_EQ(zip.BytesDone, 75);
  EXPECT_EQ(toolkit_.pumps, pumps + 1);
}

TEST_F(AddTest, WritesTheTraceBesideTheProgram) {
  const std::string trace = base::StripExtension(platform::GetModuleFileName()) + ".trace";
  zip::TZip zip;
  zip.ShowProgressDialog = false;
  zip.Trace = true;
  zip.ZipFileName(temp_ / "a.zip");
  zip.FileSpecs = {temp_.Write("traced.txt", "t")};
  EXPECT_EQ(zip.Add(), 1);
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(trace, &text));
  platform::DeleteFile(trace);
  EXPECT_NE(text.find("traced.txt"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n"), std::string::npos);
}

TEST_F(AddTest, RefusesLibrariesItCannotUse) {
  platform::SetErrorMode(0);
  zip::TZip zip;
  zip.ZipFileName(temp_ / "a.zip");
  zip.DllDirectory = temp_.MakeFolder("empty");
  zip.FileSpecs = {temp_.Write("x.txt", "x")};
  try {
    zip.Add();
    ADD_FAILURE() << "no exception";
  } catch (const zip::ZipException& e) {
    EXPECT_STREQ(e.what(), "Unable to load \"ZipDll.dll\".");
  }
  EXPECT_EQ(zip.FileSpecs.size(), 1u);
  EXPECT_EQ(platform::SetErrorMode(0), 0u) << "the error mode is put back after the attempt";

  MakeArchive("full.zip", {{"f.txt", "f"}});
  zip.ZipFileName(temp_ / "full.zip");
  try {
    zip.Extract();
    ADD_FAILURE() << "no exception";
  } catch (const zip::ZipException& e) {
    EXPECT_STREQ(e.what(), "Unable to load \"UnzDll.dll\".");
  }

  zip.ZipFileName(temp_ / "a.zip");
  zip.FileSpecs = {temp_ / "x.txt"};
  zip.DllDirectory = ProgramFolder() + "old_engine";
  try {
    zip.Add();
    ADD_FAILURE() << "no exception";
  } catch (const zip::ZipException& e) {
    EXPECT_STREQ(e.what(), "Error - invalid version of ZipDll.dll or UnzDll.dll");
  }
}

}  // namespace
}  // namespace zip_test
