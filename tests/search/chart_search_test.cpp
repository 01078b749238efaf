// The chart-file search through the main window: the folder walk, the masks, the filter with its
// companions, progress, and Exit in the middle of a walk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/window_fixture.h"
#include "search/chart_masks.h"
#include "util/files.h"

#if !defined(_WIN32)
#include "support/host_entries.h"
#include "support/host_process.h"
#endif

namespace app {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class SearchTest : public WindowTest {
 protected:
  // Types the source as the user would, without a trailing backslash, and searches.
  void Search(const std::string& source, bool user_files) {
    Open();
    if (Check("HVBackupCB").checked != user_files) {
      ASSERT_TRUE(Check("HVBackupCB").Click());
    }
    ASSERT_TRUE(Edit("ESource").Type(source));
    window_->SearchChartFiles();
  }

  // What one listing per mask and folder gives, in the order of SearchFolders: the order the
  // single listing per folder has to reproduce.
  base::StringList ListedOncePerMask(size_t mask_count) const {
    base::StringList expected;
    for (const std::string& folder : *window_->SearchFolders) {
      for (size_t m = 0; m < mask_count; ++m) {
        for (const std::string& name : util::ListFiles(folder + search::SearchChartMasks[m])) {
          expected.push_back(folder + name);
        }
      }
    }
    return expected;
  }
};

TEST_F(SearchTest, WalksBreadthFirstAndListsByFolderThenMaskThenListing) {
  const std::string charts = temp_ / "Charts";
  // Enough names in one folder that the listing order is the file system's, not the creation
  // order; the masks interleave so that a listing in the wrong order shows.
  for (int i = 0; i < 12; ++i) {
    const std::string n = std::to_string(i * 7 % 12);
    temp_.Write("Charts\\A\\c" + n + ".cht");
    temp_.Write("Charts\\A\\o" + n + ".OMB");
    temp_.Write("Charts\\A\\n" + n + ".ini");
  }
  temp_.Write("Charts\\A\\X\\deep.hvCHT");
  temp_.Write("Charts\\B\\b.om2");
  temp_.Write("Charts\\B\\pic.jpg");
  temp_.Write("Charts\\B\\plain.txt");
  temp_.Write("Charts\\top.cht");
  temp_.MakeFolder("Charts\\Empty");

  Search(charts, /*user_files=*/false);
  EXPECT_EQ(Edit("ESource").text, charts + "\\");
  base::StringList first_level;
  util::AddSubfolderNames(charts, first_level);
  ASSERT_EQ(first_level.size(), 3u);
  base::StringList expected_folders = first_level;
  expected_folders.push_back(charts + "\\A\\X\\");
  expected_folders.push_back(charts + "\\");
  EXPECT_THAT(*window_->SearchFolders, ElementsAreArray(expected_folders));

  // Four masks: the charts only.
  EXPECT_THAT(*window_->FoundFiles, ElementsAreArray(ListedOncePerMask(4)));
  EXPECT_EQ(window_->FoundFiles->size(), 12u + 12u + 3u);
  EXPECT_EQ(window_->FoundFiles->back(), charts + "\\top.cht");

  // All 37: the user files too, and the lists start afresh.
  ASSERT_TRUE(Check("HVBackupCB").Click());  // which proposes a source afresh
  ASSERT_TRUE(Edit("ESource").Type(charts));
  window_->SearchChartFiles();
  EXPECT_EQ(window_->SearchFolders->size(), 5u);
  EXPECT_THAT(*window_->FoundFiles, ElementsAreArray(ListedOncePerMask(37)));
  EXPECT_EQ(window_->FoundFiles->size(), 12u * 3 + 4);
  EXPECT_EQ(Label("PLabel").caption, "");
  EXPECT_EQ(toolkit_.cursor_log, (std::vector<bool>{true, false, true, false}));
}

// The folders are listed on two threads, ahead of the walk; what the walk gives must not show it.
// Wider than the folders listed ahead at once (256), and deep enough that listings end in
// mid-window.
TEST_F(SearchTest, AWideTreeComesOutAsAWalkOfOneFolderAtATime) {
  for (int a = 0; a < 300; ++a) {
    const std::string top = "T\\a" + std::to_string(a * 37 % 300);
    temp_.MakeFolder(top);
    if (a % 7 == 0) temp_.Write(top + "\\c" + std::to_string(a) + ".cht");
    if (a % 50 == 0) {
      for (int b = 0; b < 3; ++b) {
        temp_.Write(top + "\\b" + std::to_string(b) + "\\deep\\d" + std::to_string(b) + ".omb");
      }
    }
  }
  base::StringList expected_folders;
  util::AddSubfolderNames(temp_ / "T\\", expected_folders);
  for (size_t i = 0; i < expected_folders.size(); ++i) {
    const std::string folder = expected_folders[i];
    util::AddSubfolderNames(folder, expected_folders);
  }
  ASSERT_EQ(expected_folders.size(), 300u + 6 * 6);
  expected_folders.push_back(temp_ / "T\\");

  Search(temp_ / "T", false);
  for (int round = 0; round < 3; ++round) {
    if (round > 0) window_->SearchChartFiles();
    ASSERT_TRUE(window_->SearchFolders);
    EXPECT_THAT(*window_->SearchFolders, ElementsAreArray(expected_folders));
    EXPECT_THAT(*window_->FoundFiles, ElementsAreArray(ListedOncePerMask(4)));
    EXPECT_EQ(window_->FoundFiles->size(), 43u + 18);
  }
}

TEST_F(SearchTest, DropsOtherSoftwareAndAppendsCompanionsInReverse) {
  const std::string charts = temp_ / "Charts\\";
  // One searched folder per level, so the order of the found files is fixed.
  temp_.Write("Charts\\L1\\Both.omb");
  temp_.Write("Charts\\L1\\Both.cht");
  temp_.Write("Charts\\L1\\Both.chm");  // one companion for two charts: listed twice
  temp_.Write("Charts\\L1\\L2\\Deep.cht");
  temp_.Write("Charts\\L1\\L2\\Deep.xn0");
  temp_.Write("Charts\\L1\\L2\\old.cht\\notes.ini");  // the folder's name makes it a chart
  temp_.Write("Charts\\L1\\L2\\old.cht\\notes.CHM");
  temp_.Write("Charts\\ChannelTables\\x.cht");
  temp_.Write("Charts\\ChannelTables\\x.CHM");
  temp_.Write("Charts\\ATR9Data\\y.omb");
  temp_.Write("Charts\\AtiDrive2\\z.cht");
  temp_.Write("Charts\\windows\\system32\\noise.cht");
  temp_.Write("Charts\\Jones.omb");
  temp_.Write("Charts\\Smith.cht");
  temp_.Write("Charts\\Smith.chm");
  temp_.Write("Charts\\Smith.XN0");

  Search(charts, /*user_files=*/true);
  EXPECT_THAT(
      *window_->FoundFiles,
      ElementsAre(charts + "L1\\Both.omb", charts + "L1\\Both.cht", charts + "L1\\L2\\Deep.cht",
                  charts + "L1\\L2\\old.cht\\notes.ini", charts + "Jones.omb", charts + "Smith.cht",
                  // companions: last chart first, ".CHM" before ".XN0"
                  charts + "Smith.CHM", charts + "Smith.XN0", charts + "L1\\L2\\old.cht\\notes.CHM",
                  charts + "L1\\L2\\Deep.XN0", charts + "L1\\Both.CHM", charts + "L1\\Both.CHM"));
}

TEST_F(SearchTest, EmptySourceChangesNothing) {
  Open();
  ASSERT_TRUE(Edit("ESource").Type(""));
  const size_t captions = Label("PLabel").history.size();
  window_->SearchChartFiles();
  EXPECT_FALSE(window_->FoundFiles);
  EXPECT_FALSE(window_->SearchFolders);
  EXPECT_TRUE(toolkit_.cursor_log.empty());
  EXPECT_EQ(Label("PLabel").history.size(), captions);
}

TEST_F(SearchTest, ProgressMovesOncePerFolderAndPumpsEveryFifth) {
  for (const char* folder : {"A", "B", "C"}) temp_.MakeFolder(std::string("S\\") + folder);
  Open();
  ASSERT_TRUE(Check("HVBackupCB").Click());
  Bar().history.clear();
  ASSERT_TRUE(Edit("ESource").Type(temp_ / "S"));
  window_->SearchChartFiles();
  EXPECT_THAT(Bar().history, ElementsAre(25, 50, 75, 100));

  test_support::TempFolder eight;
  for (int i = 0; i < 7; ++i) eight.MakeFolder("F" + std::to_string(i));
  int pumps_during_search = 0;
  toolkit_.on_process_messages = [&](int) {
    if (Label("PLabel").caption.starts_with("Searching")) ++pumps_during_search;
  };
  Bar().history.clear();
  ASSERT_TRUE(Edit("ESource").Type(eight.path()));
  window_->SearchChartFiles();
  EXPECT_THAT(Bar().history, ElementsAre(12, 25, 38, 50, 62, 75, 88, 100));
  EXPECT_EQ(pumps_during_search, 2);  // once before the search, once at the fifth folder
  EXPECT_THAT(Label("PLabel").history,
              ::testing::Contains(::testing::StartsWith("Inspecting Folders ")));
}

TEST_F(SearchTest, ExitDuringTheWalkStopsItAndLeavesNoList) {
  for (int i = 0; i < 150; ++i) temp_.MakeFolder("W\\F" + std::to_string(i));
  temp_.Write("W\\F1\\a.cht");
  Open();
  ASSERT_TRUE(Edit("ESource").Type(temp_ / "W"));
  int pumps_after_exit = -1;
  toolkit_.on_process_messages = [&](int) {
    if (pumps_after_exit >= 0) {
      ++pumps_after_exit;
    } else if (Label("PLabel").caption.starts_with("Inspecting Folders")) {
      // The walk's second stop for messages, after 100 folders: the first is before it says
      // what it does.
      pumps_after_exit = 0;
      ASSERT_TRUE(Button("BitBtn2").Click());
    }
  };
  window_->SearchChartFiles();
  EXPECT_TRUE(StopRequested);
  EXPECT_FALSE(window_->FoundFiles);
  EXPECT_LE(pumps_after_exit, 3);  // the Exit click's own pumps, then the walk stops
  EXPECT_FALSE(toolkit_.busy);
}

#if !defined(_WIN32)
// Windows cannot even name such folders through its ANSI calls; on Linux they exist.
TEST_F(SearchTest, FoldersTooLongToListEndTheWalkThere) {
  std::string deep = "L";
  for (int depth = 0; depth < 40; ++depth) deep += "\\folder-of-ten";
  temp_.Write(deep + "\\far.cht");
  temp_.Write("L\\near.cht");
  Search(temp_ / "L", false);
  ASSERT_TRUE(window_->SearchFolders);
  // Every folder once, none beyond the listable length descended into, no ancestor again.
  std::set<std::string> unique(window_->SearchFolders->begin(), window_->SearchFolders->end());
  EXPECT_EQ(unique.size(), window_->SearchFolders->size());
  EXPECT_LT(window_->SearchFolders->size(), 41u);
  for (const std::string& folder : *window_->SearchFolders) {
    EXPECT_EQ(folder.rfind(temp_ / "L\\", 0), 0u) << folder;
  }
  EXPECT_THAT(*window_->FoundFiles, ::testing::Contains(temp_ / "L\\near.cht"));
}

// Links that name a folder again, or a folder above the one searched, or the kernel's own file
// systems: every folder is walked once, under the first name the walk meets, so every chart is
// found once; and the walk's memory does not grow with the number of ways round a loop. The walk
// runs in a child with a bound on its memory, which the loops would break within seconds.
TEST_F(SearchTest, LinksNeverMakeTheWalkEnterAFolderTwice) {
  using test_support::HostEntry;
  temp_.Write("Home\\outside.cht");
  temp_.Write("Home\\T\\A\\a.cht");
  temp_.Write("Home\\T\\B\\b.cht");
  temp_.Write("Home\\T\\usr\\bin\\c.cht");
  temp_.MakeFolder("Home\\T\\L");
  std::vector<HostEntry> links;
  const auto link = [&](const std::string& path, const std::string& target) {
    links.push_back(HostEntry::Link(temp_ / path, target));
    ASSERT_TRUE(links.back().made()) << path;
  };
  link("Home\\T\\A\\self", ".");
  link("Home\\T\\A\\up", "..");
  link("Home\\T\\B\\A-again", "../A");
  link("Home\\T\\B\\Documents", "../..");  // as Wine links Documents to the home folder
  link("Home\\T\\usr\\bin\\X11", ".");     // as Debian has it
  for (int i = 0; i < 8; ++i) link("Home\\T\\L\\l" + std::to_string(i), ".");
  link("Home\\T\\proc", "/proc");
  link("Home\\T\\sys", "/sys");
  const std::string top = temp_ / "Home\\T\\";

  const test_support::BoundedRun run = test_support::RunWithinMemory(
      [&] {
        Search(top, false);
        std::string out;
        for (const std::string& found : *window_->FoundFiles) out += found + "\n";
        out += "--\n";
        for (const std::string& folder : *window_->SearchFolders) out += folder + "\n";
        return out;
      },
      32 << 20, 60);
  ASSERT_TRUE(run.finished) << "the walk went beyond 32 MiB or a minute";
  const size_t split = run.output.find("--\n");
  ASSERT_NE(split, std::string::npos);
  const auto lines = [](const std::string& text) {
    base::StringList list;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
      list.push_back(text.substr(start, end - start));
    }
    return list;
  };
  EXPECT_THAT(
      lines(run.output.substr(0, split)),
      ::testing::UnorderedElementsAre(top + "A\\a.cht", top + "B\\b.cht", top + "usr\\bin\\c.cht",
                                      top + "B\\Documents\\outside.cht"));
  EXPECT_THAT(lines(run.output.substr(split + 3)),
              ::testing::UnorderedElementsAre(top + "A\\", top + "B\\", top + "L\\", top + "usr\\",
                                              top + "usr\\bin\\", top + "B\\Documents\\", top));
}

// Folders too long to list are skipped by the walk, however many of them come in a row (more
// than the folders listed ahead at once, 256), and the walk goes on with those after them.
TEST_F(SearchTest, ARunOfFoldersTooLongToListIsWalkedPast) {
  const std::string tail(252 - (temp_ / "R\\A\\").size(), 'n');
  for (const char* parent : {"A", "B"}) {
    for (int i = 0; i < 300; ++i) {
      temp_.MakeFolder(std::string("R\\") + parent + "\\" + std::to_string(1000 + i) + tail);
    }
    temp_.Write(std::string("R\\") + parent + "\\short\\c.cht");
  }
  Search(temp_ / "R", false);
  ASSERT_TRUE(window_->SearchFolders);
  EXPECT_EQ(window_->SearchFolders->size(), 2u + 2 * 301 + 1);
  EXPECT_THAT(*window_->FoundFiles, ::testing::UnorderedElementsAre(temp_ / "R\\A\\short\\c.cht",
                                                                    temp_ / "R\\B\\short\\c.cht"));
}
#endif

}  // namespace
}  // namespace app
