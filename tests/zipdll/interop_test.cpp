// The engine and the zip tools of other authors, both ways: what the engine writes passes their
// tests and lists the same in each, and what they write extracts through the engine to the same
// bytes and times. The tools run on Linux; this program is built natively only.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zipdll/unzip_driver.h"
#include "zipdll/zip_driver.h"

namespace {

using test_support::TempFolder;
using zip_test::HostQuoted;
using zip_test::RunTool;

// 2026-03-04 05:06:08 local time.
constexpr int32_t kDosTime =
    ((2026 - 1980) << 25) | (3 << 21) | (4 << 16) | (5 << 11) | (6 << 5) | 4;
constexpr char kTimeText[] = "2026-03-04 05:06:08";

struct Listed {
  uint64_t size = 0;
  std::string time;  // "YYYY-MM-DD hh:mm:ss"
  bool operator==(const Listed&) const = default;
};
using Listing = std::map<std::string, Listed>;  // name as stored ("/" separators) -> size, time

std::ostream& operator<<(std::ostream& out, const Listed& listed) {
  return out << listed.size << " @ " << listed.time;
}

// The files of a tree of the kinds a backup meets, with their stored names and contents.
std::map<std::string, std::string> SampleFiles(bool many) {
  std::mt19937 random(7);
  std::string noise(30000, '\0');
  for (char& c : noise) c = static_cast<char>(random() & 0xFF);
  std::string records;
  for (int i = 0; records.size() < 150000; ++i)
    records += "record " + std::to_string(i % 113) + ";";
  std::map<std::string, std::string> files = {
      {"Charts/Smith Ann.cht", "chart of Ann Smith\r\n"},
      {"Charts/Zoé Ñandú.cht", "accents\r\n"},
      {"Charts/empty.cht", ""},
      {"Charts/big.cht", records + noise},
      {"Charts/Sub/deep.HVcht", "deep\r\n"},
  };
  for (int i = 0; many && i < 300; ++i)
    files["Many/f" + std::to_string(i) + ".cht"] = std::to_string(i);
  return files;
}

// Writes the files below folder (stored names turned into Windows paths), all with kDosTime.
void WriteTree(const TempFolder& temp, const std::string& folder,
               const std::map<std::string, std::string>& files) {
  for (const auto& [name, data] : files) {
    std::string relative = folder + "\\" + name;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    ASSERT_TRUE(platform::SetFileAge(temp.Write(relative, data), kDosTime)) << relative;
  }
}

Listing Expected(const std::map<std::string, std::string>& files, bool with_folders) {
  Listing listing;
  for (const auto& [name, data] : files) {
    listing[name] = {data.size(), kTimeText};
    for (size_t slash = name.find('/'); with_folders && slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      listing[name.substr(0, slash + 1)] = {0, kTimeText};
    }
  }
  return listing;
}

// A text quoted for the shell.
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string RunOk(const std::string& command) {
  std::string out;
  EXPECT_EQ(RunTool(command, &out), 0) << command << "\n" << out;
  return out;
}

std::string Python(const std::string& script, const std::string& args) {
  return RunOk("python3 -c " + Quoted(script) + " " + args);
}

// The listing as Python's zipfile sees it; folder times are not compared (tools differ).
Listing PythonListing(const std::string& archive, std::string* comment) {
  const std::string out = Python(
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "print('comment', z.comment.decode('utf-8', 'replace'))\n"
      "for i in z.infolist():\n"
      "    t = '%04d-%02d-%02d %02d:%02d:%02d' % i.date_time\n"
      "    print('%d\\t%s\\t%s' % (i.file_size, t, i.filename))\n",
      HostQuoted(archive));
  Listing listing;
  std::istringstream lines(out);
  std::string line;
  std::getline(lines, line);
  *comment = line.substr(std::min<size_t>(line.size(), 8));
  while (std::getline(lines, line)) {
    const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) continue;
    listing[line.substr(tab2 + 1)] = {std::stoull(line.substr(0, tab1)),
                                      line.substr(tab1 + 1, tab2 - tab1 - 1)};
  }
  return listing;
}

// The listing as Info-ZIP's zipinfo prints it with decimal times.
Listing ZipinfoListing(const std::string& archive) {
  const std::string out = RunOk("unzip -Z -T " + HostQuoted(archive));
  static const std::regex kLine(R"(^\S+\s+\S+\s+\S+\s+(\d+)\s+\S+\s+\S+\s+(\d{8})\.(\d{6}) (.*)$)");
  Listing listing;
  std::istringstream lines(out);
  std::string line;
  std::smatch m;
  while (std::getline(lines, line)) {
    if (!std::regex_match(line, m, kLine)) continue;
    const std::string d = m[2], t = m[3];
    listing[m[4]] = {std::stoull(m[1]), d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6) +
                                            " " + t.substr(0, 2) + ":" + t.substr(2, 2) + ":" +
                                            t.substr(4)};
  }
  return listing;
}

// The listing as 7-Zip prints it in its technical form; it shows folders without their slash.
Listing SevenZipListing(const std::string& archive, const std::string& password) {
  const std::string out = RunOk("7zz l -slt -p" + Quoted(password) + " " + HostQuoted(archive));
  Listing listing;
  std::istringstream lines(out);
  std::string line, path;
  bool folder = false;
  uint64_t size = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("Path = ", 0) == 0) path = line.substr(7);
    if (line.rfind("Folder = ", 0) == 0) folder = line.substr(9) == "+";
    if (line.rfind("Size = ", 0) == 0) size = std::stoull(line.substr(7));
    if (line.rfind("Modified = ", 0) == 0 && !path.empty()) {
      listing[folder ? path + "/" : path] = {size, line.substr(11, 19)};
      path.clear();
    }
  }
  return listing;
}

// Folder entries carry the time of the folder, which the tree does not fix: compare files only.
Listing FilesOnly(Listing listing) {
  std::erase_if(listing, [](const auto& item) { return item.first.back() == '/'; });
  return listing;
}
std::set<std::string> Names(const Listing& listing) {
  std::set<std::string> names;
  for (const auto& item : listing) names.insert(item.first);
  return names;
}

class InteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(zip_test::ZipDriver::Exec(), nullptr);
    ASSERT_NE(unzip_test::UnzipDriver::Exec(), nullptr);
  }
  TempFolder temp_;
};

TEST_F(InteropTest, EngineArchivesPassEveryToolAndListTheSame) {
  const auto files = SampleFiles(true);
  WriteTree(temp_, "src", files);
  const std::string comment = "Vardek Backup of C:\\Charts\\";
  for (const std::string password : {"", "Sécret pw"}) {
    SCOPED_TRACE("password: " + password);
    const std::string archive = temp_ / (password.empty() ? "plain.zip" : "locked.zip");
    zip_test::AddRequest request(
        archive, {"*.*"},
        zip::kAddRecurse | zip::kAddRelativeToBase | zip::kAddFolderEntries | zip::kAddHiddenSystem,
        temp_ / "src");
    request.comment = comment;
    request.password = password;
    zip_test::ZipDriver zip;
    ASSERT_EQ(zip.Add(request), static_cast<int>(files.size())) << zip.Messages();

    const std::string quoted = HostQuoted(archive);
    const std::string pass = Quoted(password);
    RunOk("unzip -t -P " + pass + " " + quoted);
    RunOk("7zz t -p" + pass + " " + quoted);
    RunOk("bsdtar -tf " + quoted);
    Python(
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "z.setpassword(sys.argv[2].encode())\n"
        "bad = z.testzip()\n"
        "sys.exit('bad entry %s' % bad if bad else 0)\n",
        quoted + " " + pass);

    const Listing expected = Expected(files, true);
    std::string python_comment;
    const Listing python = PythonListing(archive, &python_comment);
    EXPECT_EQ(python_comment, comment);
    EXPECT_EQ(Names(python), Names(expected));
    EXPECT_EQ(FilesOnly(python), FilesOnly(expected));
    EXPECT_EQ(FilesOnly(ZipinfoListing(archive)), FilesOnly(expected));
    EXPECT_EQ(Names(SevenZipListing(archive, password)), Names(expected));
    EXPECT_EQ(FilesOnly(SevenZipListing(archive, password)), FilesOnly(expected));
    EXPECT_THAT(RunOk("unzip -z " + quoted), ::testing::HasSubstr(comment));

    // What Info-ZIP extracts is what went in.
    const std::string out = temp_.MakeFolder(password.empty() ? "out-plain" : "out-locked");
    RunOk("unzip -q -P " + pass + " " + quoted + " -d " + HostQuoted(out));
    for (const auto& [name, data] : files) {
      std::string relative = name;
      std::replace(relative.begin(), relative.end(), '/', '\\');
      std::string got;
      ASSERT_TRUE(platform::ReadWholeFile(out + relative, &got)) << name;
      EXPECT_EQ(got == data, true) << name;
    }
  }
}

// A Linux file named in Latin-1, as older systems named them: bytes that are no UTF-8. In a
// Latin-1 locale the name is stored converted; in a UTF-8 locale it is in no code page the
// system gives, and the file is skipped by name. Either way every tool opens the archive.
TEST_F(InteropTest, NamesInAnOlderCodePageAreStoredInUtf8OrSkipped) {
  WriteTree(temp_, "src", {{"caf\xE9.cht", "latin-1"}, {"plain.cht", "plain"}});
  const char* const saved = std::getenv("LC_ALL");
  const std::string restore = saved ? saved : "";
  for (const bool latin1 : {false, true}) {
    SCOPED_TRACE(latin1 ? "Latin-1 locale" : "UTF-8 locale");
    setenv("LC_ALL", latin1 ? "fr_FR.ISO-8859-1" : "fr_FR.UTF-8", 1);
    const std::string archive = temp_ / (latin1 ? "latin1.zip" : "utf8.zip");
    zip_test::ZipDriver zip;
    const int added =
        zip.Add(zip_test::AddRequest(archive, {"*.cht"}, zip::kAddRelativeToBase, temp_ / "src"));
    const std::string quoted = HostQuoted(archive);
    RunOk("unzip -t " + quoted);
    RunOk("7zz t " + quoted);
    std::string comment;
    const std::set<std::string> names = Names(PythonListing(archive, &comment));
    if (latin1) {
      EXPECT_EQ(added, 2) << zip.Messages();
      EXPECT_THAT(names, ::testing::ElementsAre("caf\xC3\xA9.cht", "plain.cht"));
    } else {
      EXPECT_EQ(added, 1);
      EXPECT_THAT(zip.SkipReasons(), ::testing::ElementsAre(zipdll::kSkipNotStorable));
      EXPECT_THAT(zip.Messages(), ::testing::HasSubstr("caf\xE9.cht: its name is not in UTF-8"));
      EXPECT_THAT(names, ::testing::ElementsAre("plain.cht"));
    }
  }
  if (saved) {
    setenv("LC_ALL", restore.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

// One archive made by another tool, with the password it needs.
struct PeerArchive {
  std::string name;
  std::string command;  // run in the source folder; ARCHIVE stands for the archive's host path
  std::string password;
};

TEST_F(InteropTest, PeerArchivesExtractToTheSameBytesAndTimes) {
  auto files = SampleFiles(false);
  WriteTree(temp_, "src", files);
  const std::string make_python =
      "python3 -c 'import os, sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_DEFLATED, allowZip64=True)\n"
      "for d, _, fs in sorted(os.walk(\".\")):\n"
      "    for f in sorted(fs):\n"
      "        p = os.path.join(d, f)[2:]\n"
      "        with open(p, \"rb\") as s, z.open(zipfile.ZipInfo.from_file(p), \"w\", "
      "force_zip64=True) as t: t.write(s.read())\n"
      "z.comment = b\"made by python\"\n"
      "z.close()' ARCHIVE";
  const std::vector<PeerArchive> peers = {
      {"zip deflated", "zip -q -r -9 ARCHIVE .", ""},
      {"zip stored", "zip -q -r -0 ARCHIVE .", ""},
      {"zip data descriptors", "zip -q -r - . > ARCHIVE", ""},
      {"zip zip64", "zip -q -r -fz ARCHIVE .", ""},
      {"zip encrypted", "zip -q -r -P 'pass word' ARCHIVE .", "pass word"},
      {"zip comment", "echo 'a comment' | zip -q -r -z ARCHIVE .", ""},
      {"7-Zip deflated", "7zz a -tzip -mx=9 -bd ARCHIVE . >/dev/null", ""},
      {"7-Zip stored utf-8", "7zz a -tzip -mx=0 -mcu=on -bd ARCHIVE . >/dev/null", ""},
      {"7-Zip encrypted", "7zz a -tzip -mem=ZipCrypto -p'pass word' -bd ARCHIVE . >/dev/null",
       "pass word"},
      {"bsdtar", "bsdtar --format zip -cf ARCHIVE .", ""},
      {"python zip64 utf-8", make_python, ""},
  };
  int n = 0;
  for (const PeerArchive& peer : peers) {
    SCOPED_TRACE(peer.name);
    const std::string archive = temp_ / ("peer" + std::to_string(n) + ".zip");
    const std::string target = temp_.MakeFolder("out" + std::to_string(n++));
    std::string command = peer.command;
    command.replace(command.find("ARCHIVE"), 7, HostQuoted(archive));
    RunOk("(cd " + HostQuoted(temp_ / "src") + " && " + command + ")");

    unzip_test::UnzipDriver unzip;
    unzip_test::UnzipRequest request;
    request.archive = archive;
    request.target = target;
    request.recreate_folders = true;
    request.password = peer.password;
    EXPECT_EQ(unzip.Run(request), static_cast<int>(files.size())) << unzip.Messages();
    for (const auto& [name, data] : files) {
      std::string relative = name;
      std::replace(relative.begin(), relative.end(), '/', '\\');
      std::string got;
      ASSERT_TRUE(platform::ReadWholeFile(target + relative, &got)) << name;
      EXPECT_TRUE(got == data) << name;
      EXPECT_EQ(platform::GetFileAge(target + relative), kDosTime) << name;
    }
  }
}

// Other tools encrypt with WinZip AES on request. The engine cannot read that; it says so for each
// such entry, asks for no password, and still extracts the rest of the archive.
TEST_F(InteropTest, AesEntriesOfOtherToolsAreSkippedWithoutAPasswordPrompt) {
  temp_.Write("src\\locked.cht", "chart under AES\r\n");
  temp_.Write("src\\Sub\\deep.cht", "deeper under AES\r\n");
  temp_.Write("open\\open.cht", "no secret\r\n");
  const std::vector<PeerArchive> peers = {
      {"7-Zip AES-256",
       "7zz a -tzip -mem=AES256 -p'pass word' -bd ARCHIVE locked.cht Sub >/dev/null", ""},
      {"bsdtar AES-128",
       "bsdtar --format zip --options zip:encryption=aes128 --passphrase 'pass word' "
       "-cf ARCHIVE locked.cht Sub",
       ""},
  };
  int n = 0;
  for (const PeerArchive& peer : peers) {
    SCOPED_TRACE(peer.name);
    const std::string archive = temp_ / ("aes" + std::to_string(n) + ".zip");
    const std::string target = temp_.MakeFolder("aes-out" + std::to_string(n++));
    std::string command = peer.command;
    command.replace(command.find("ARCHIVE"), 7, HostQuoted(archive));
    RunOk("(cd " + HostQuoted(temp_ / "src") + " && " + command + ")");
    RunOk("(cd " + HostQuoted(temp_ / "open") + " && zip -q " + HostQuoted(archive) + " open.cht)");

    for (const std::string password : {"", "pass word"}) {
      SCOPED_TRACE("password given: " + password);
      unzip_test::UnzipDriver unzip;
      int prompts = 0;
      unzip.answer = [&prompts](zipdll::CallbackRecord* record) {
        if (record->action == zipdll::kActionPassword) {
          ++prompts;
          std::snprintf(record->text, sizeof record->text, "pass word");
          record->flag = 1;
        }
        return 0;
      };
      unzip_test::UnzipRequest request;
      request.archive = archive;
      request.target = target;
      request.recreate_folders = true;
      request.password = password;
      EXPECT_EQ(unzip.Run(request), 1) << unzip.Messages();
      EXPECT_EQ(prompts, 0);
      EXPECT_THAT(unzip.SkipReasons(),
                  ::testing::ElementsAre(zipdll::kSkipBadData, zipdll::kSkipBadData));
      for (const char* name : {"locked.cht", "Sub/deep.cht"}) {
        EXPECT_THAT(unzip.Messages(),
                    ::testing::HasSubstr("Skipped \"" + std::string(name) +
                                         "\": encrypted with AES, which this program cannot "
                                         "read."));
      }
      EXPECT_EQ(platform::GetFileAttributes(target + "locked.cht"), platform::kInvalidAttributes);
      EXPECT_EQ(platform::GetFileAttributes(target + "Sub\\deep.cht"),
                platform::kInvalidAttributes);
      std::string open;
      EXPECT_TRUE(platform::ReadWholeFile(target + "open.cht", &open));
      EXPECT_EQ(open, "no secret\r\n");
    }
  }
}

}  // namespace
