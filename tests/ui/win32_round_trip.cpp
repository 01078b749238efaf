// The whole road through the real window: a version 9 installation is backed up with clicks on
// the program's own controls, its chart and user files are deleted, and a second run of the
// program restores them from the backup folder. Every file must come back with its bytes and its
// time (at the two-second resolution of DOS times); each one that does not is named.
//
// Under Wine the prefix user's documents folder is usually a link to the host's home folder, so
// for the length of the test it is pointed at a folder of the test's own; nothing is written
// outside the prefix. An installation the prefix already holds is left alone: the test refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "base/text.h"
#include "sample_installation.h"
#include "win32_driver.h"

// After windows.h, which the driver brings in.
#include <shlobj.h>

#ifndef RD_DRIVEN_PROGRAM
#define RD_DRIVEN_PROGRAM "ridideduvure.exe"
#endif

namespace ui::win32::driver {
namespace {

namespace fs = std::filesystem;

constexpr int kStartTimeoutMs = 60000;     // a first start under Wine can be slow
constexpr int kCommandTimeoutMs = 240000;  // a backup or restore of the sample, boxes answered
constexpr int kStepTimeoutMs = 15000;
constexpr char kMainCaption[] = "Ridideduvure 4.0";
constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::string DocumentsFolder() {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path))) return "";
  return path;
}

// "2019-04-07 13:22:10" for a DOS date and time.
std::string DosTimeText(uint32_t value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", (value >> 25) + 1980,
                (value >> 21) & 0x0F, (value >> 16) & 0x1F, (value >> 11) & 0x1F,
                (value >> 5) & 0x3F, (value & 0x1F) * 2);
  return text;
}

// The last-write time of a file as a DOS date and time in local time; nothing for a missing file.
std::optional<uint32_t> DosTimeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  FILETIME local;
  WORD date = 0, time = 0;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(date) << 16 | time;
}

std::optional<std::string> ContentsOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes a file with its folders (the names keep their case) and gives it its time.
bool WriteSampleFile(const sample::SampleFile& file) {
  std::error_code error;
  fs::create_directories(fs::path(file.path).parent_path(), error);
  HANDLE handle = CreateFileA(file.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  FILETIME local, utc;
  const uint32_t age = static_cast<uint32_t>(file.dos_time);
  const bool done =
      WriteFile(handle, file.contents.data(), static_cast<DWORD>(file.contents.size()), &written,
                nullptr) &&
      written == file.contents.size() &&
      DosDateTimeToFileTime(static_cast<WORD>(age >> 16), static_cast<WORD>(age), &local) &&
      LocalFileTimeToFileTime(&local, &utc) && SetFileTime(handle, nullptr, nullptr, &utc);
  CloseHandle(handle);
  return done;
}

// Points the prefix user's documents folder at folder while it lives, then puts the old value
// back.
class DocumentsRedirected {
 public:
  explicit DocumentsRedirected(const std::string& folder) {
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    char value[1024] = {};
    DWORD size = sizeof(value) - 1;
    had_value_ = RegQueryValueExA(key_, "Personal", nullptr, &type_, reinterpret_cast<BYTE*>(value),
                                  &size) == ERROR_SUCCESS;
    old_value_.assign(value, size);
    set_ =
        RegSetValueExA(key_, "Personal", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1)) == ERROR_SUCCESS;
  }
  ~DocumentsRedirected() {
    if (!key_) return;
    if (set_ && had_value_) {
      RegSetValueExA(key_, "Personal", 0, type_, reinterpret_cast<const BYTE*>(old_value_.data()),
                     static_cast<DWORD>(old_value_.size()));
    } else if (set_) {
      RegDeleteValueA(key_, "Personal");
    }
    RegCloseKey(key_);
    DocumentsFolder();  // the shell refreshes its own copy of the path from the value
  }
  DocumentsRedirected(const DocumentsRedirected&) = delete;
  DocumentsRedirected& operator=(const DocumentsRedirected&) = delete;

 private:
  HKEY key_ = nullptr;
  bool had_value_ = false;
  bool set_ = false;
  DWORD type_ = REG_EXPAND_SZ;
  std::string old_value_;
};

// Removes what the test put on the disk however the test ends.
struct RemoveAtEnd {
  std::vector<std::string> files;
  std::vector<std::string> trees;
  ~RemoveAtEnd() {
    std::error_code ignored;
    for (const std::string& file : files) DeleteFileA(file.c_str());
    for (const std::string& tree : trees) fs::remove_all(tree, ignored);
  }
};

// Ends the program however the test ends, so that a failure leaves no window behind.
struct KillAtEnd {
  Program& program;
  ~KillAtEnd() { program.Kill(); }
};

// The controls of the main window that a run uses.
struct MainWindow {
  HWND window = nullptr;
  HWND backup_item = nullptr, restore_item = nullptr;
  HWND user_data_box = nullptr, auto_box = nullptr;
  HWND source = nullptr, destination = nullptr;
  HWND backup_button = nullptr, restore_button = nullptr, exit_button = nullptr;
  HWND status = nullptr;
};

class Win32RoundTripTest : public testing::Test {
 protected:
  // Starts the program and finds its controls.
  void Start(Program& program, MainWindow& main) {
    program = StartProgram(OwnFolder() + RD_DRIVEN_PROGRAM);
    ASSERT_TRUE(program.Started()) << "cannot start " << OwnFolder() << RD_DRIVEN_PROGRAM;
    main.window =
        WaitFor([&] { return FindTopWindow(program.Id(), "", kMainCaption); }, kStartTimeoutMs);
    ASSERT_NE(main.window, nullptr) << "no window \"" << kMainCaption << "\" appeared";
    main.backup_item = FindChildByText(main.window, "Backup", Kind::kRadioButton);
    main.restore_item = FindChildByText(main.window, "Restore", Kind::kRadioButton);
    // The user-data box names the version found, so it is the check box below the CD box.
    main.user_data_box =
        NextOfKind(FindChildByText(main.window, "Burn CDRom (Windows XP Only)", Kind::kCheckBox),
                   Kind::kCheckBox);
    main.auto_box =
        FindChildByText(main.window, "Auto (Uses H.V. Userdata Folder)", Kind::kCheckBox);
    main.source = NextOfKind(
        FindChildByText(main.window, "Source Folder containing Chart Files", Kind::kLabel),
        Kind::kEdit);
    main.destination = NextOfKind(main.auto_box, Kind::kEdit);
    main.backup_button = FindChildByText(main.window, "Backup", Kind::kPushButton);
    main.restore_button = FindChildByText(main.window, "Restore", Kind::kPushButton);
    main.exit_button = FindChildByText(main.window, "Exit", Kind::kPushButton);
    main.status = NextOfKind(main.exit_button, Kind::kLabel);  // the status line below the buttons
    ASSERT_TRUE(main.backup_item && main.restore_item && main.user_data_box && main.auto_box &&
                main.source && main.destination && main.backup_button && main.restore_button &&
                main.exit_button && main.status)
        << "a control of the main window is missing";
    EXPECT_EQ(TextOf(main.user_data_box), "Include All Halvane 9 User Data Files")
        << "the program did not find the version 9 installation";
  }

  // Answers a message box of the program that shows within timeout_ms as a user going on would
  // (OK, else Yes); its text goes to boxes_.
  void AnswerBox(const Program& program, int timeout_ms) {
    HWND box = WaitFor([&] { return FindTopWindow(program.Id(), "#32770", ""); }, timeout_ms);
    if (!box) return;
    const int answer = GetDlgItem(box, IDOK) ? IDOK : GetDlgItem(box, IDYES) ? IDYES : IDCANCEL;
    if (std::optional<std::string> text = AnswerMessageBox(program.Id(), answer, kStepTimeoutMs)) {
      boxes_.push_back(*text);
    }
  }

  // Clicks button and answers every message box until the status line says "Finished.".
  bool RunCommand(const Program& program, const MainWindow& main, HWND button) {
    Click(button);
    WaitUntil(
        [&] {
          AnswerBox(program, 0);
          return TextOf(main.status) == "Finished." || program.WaitForExit(0).has_value();
        },
        kCommandTimeoutMs);
    AnswerBox(program, 500);  // a box after the last status text belongs to the command too
    return TextOf(main.status) == "Finished.";
  }

  void Exit(const Program& program, const MainWindow& main) {
    Click(main.exit_button);
    const std::optional<DWORD> exit_code = program.WaitForExit(kStepTimeoutMs);
    ASSERT_TRUE(exit_code.has_value()) << "the program did not end after Exit";
    EXPECT_EQ(*exit_code, 0u);
  }

  std::vector<std::string> boxes_;
};

TEST_F(Win32RoundTripTest, BackupAndRestoreThroughTheWindowGiveBackEveryFile) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string work =
      base::AddBackslash(temp) + "rd-round-trip-" + std::to_string(GetCurrentProcessId()) + "\\";
  const std::string windows_folder = [] {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return base::AddBackslash(folder);
  }();
  for (int version = 4; version <= 9; ++version) {
    const std::string settings = windows_folder + "Halvane" + std::to_string(version) + ".INI";
    ASSERT_EQ(GetFileAttributesA(settings.c_str()), INVALID_FILE_ATTRIBUTES)
        << settings << " exists: this machine has an installation of its own, left alone";
  }
  RemoveAtEnd remove_at_end;
  remove_at_end.trees.push_back(work);
  std::optional<DocumentsRedirected> redirected;
  if (RunsUnderWine()) {
    ASSERT_TRUE(fs::create_directories(work + "Documents"));
    redirected.emplace(work + "Documents");
    ASSERT_EQ(base::AddBackslash(DocumentsFolder()), work + "Documents\\")
        << "the documents folder could not be pointed at the test's own folder";
  }

  sample::SampleOptions options;
  options.windows_folder = windows_folder;
  options.documents_folder = DocumentsFolder();
  options.system_data_folder = work + "Halvane 9\\System";
  options.seed = 4711;
  options.chart_count = 40;
  const std::string user_files = sample::UserFilesFolder(options);
  const std::string chart_folder = sample::ChartFolder(options);
  const std::string settings_file = user_files + "Settings\\Halvane9.INI";
  ASSERT_EQ(GetFileAttributesA(user_files.c_str()), INVALID_FILE_ATTRIBUTES)
      << user_files << " exists: it is left alone";
  remove_at_end.trees.push_back(user_files);
  remove_at_end.files.push_back(windows_folder + "Halvane9.INI");
  const std::vector<sample::SampleFile> files = sample::MakeSampleInstallation(options);
  for (const sample::SampleFile& file : files) {
    ASSERT_TRUE(WriteSampleFile(file)) << "cannot write " << file.path;
  }
  const std::string backup = work + "Backup\\";
  ASSERT_TRUE(fs::create_directories(backup));

  WineDrawsTheFrame frame_drawn_by_wine(RD_DRIVEN_PROGRAM);
  {
    SCOPED_TRACE("backup");
    Program program;
    KillAtEnd kill_at_end{program};
    MainWindow main;
    ASSERT_NO_FATAL_FAILURE(Start(program, main));
    EXPECT_TRUE(IsChecked(main.backup_item));
    EXPECT_EQ(TextOf(main.source), chart_folder) << "the chart folder is the proposed source";
    if (!IsChecked(main.user_data_box)) Click(main.user_data_box);
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(main.user_data_box); }, kStepTimeoutMs));
    TypeText(main.destination, backup);
    ASSERT_TRUE(RunCommand(program, main, main.backup_button))
        << "no \"Finished.\"; the status line says \"" << TextOf(main.status) << "\"";
    EXPECT_NE(GetFileAttributesA((backup + "ChartBackup.zip").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((backup + "RUDadoze.zev").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_NO_FATAL_FAILURE(Exit(program, main));
  }

  // An empty installation of the same version: only the settings files are left.
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(user_files, error)) {
    if (lstrcmpiA(entry.path().filename().string().c_str(), "Settings") != 0) {
      fs::remove_all(entry.path(), error);
    }
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(user_files + "Settings", error)) {
    if (lstrcmpiA(entry.path().filename().string().c_str(), "Halvane9.INI") != 0) {
      fs::remove_all(entry.path(), error);
    }
  }
  ASSERT_EQ(GetFileAttributesA(chart_folder.c_str()), INVALID_FILE_ATTRIBUTES);

  {
    SCOPED_TRACE("restore");
    Program program;
    KillAtEnd kill_at_end{program};
    MainWindow main;
    ASSERT_NO_FATAL_FAILURE(Start(program, main));
    Click(main.restore_item);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main.restore_button); }, kStepTimeoutMs))
        << "the Restore button did not appear after the click on Restore";
    EXPECT_TRUE(IsChecked(main.auto_box));
    if (!IsChecked(main.user_data_box)) Click(main.user_data_box);
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(main.user_data_box); }, kStepTimeoutMs));
    TypeText(main.source, backup);
    // Auto stays on: the destination is the user-files folder.
    EXPECT_EQ(base::AddBackslash(TextOf(main.destination)), user_files);
    ASSERT_TRUE(RunCommand(program, main, main.restore_button))
        << "no \"Finished.\"; the status line says \"" << TextOf(main.status) << "\"";
    ASSERT_NO_FATAL_FAILURE(Exit(program, main));
  }
  // The restore asked first, and the Yes restored: the question names the archives, the chart
  // folder and the settings file to be changed.
  ASSERT_FALSE(boxes_.empty()) << "the restore asked nothing before it wrote";
  const std::string question = boxes_.front();
  boxes_.erase(boxes_.begin());
  for (const std::string& part :
       {backup + "ChartBackup.zip (\"", backup + "RUDadoze.zev (\"", " into " + chart_folder + "\n",
        "will be pointed at the chart folder " + chart_folder, std::string("Restore now?")}) {
    EXPECT_NE(question.find(part), std::string::npos) << part << " is not in:\n" << question;
  }
  for (const std::string& box : boxes_) ADD_FAILURE() << "a message box: " << box;

  // The kept settings file now names the folder the charts came back to, and keeps the rest.
  const std::optional<std::string> settings = ContentsOf(settings_file);
  ASSERT_TRUE(settings.has_value()) << settings_file << " is gone";
  EXPECT_NE(settings->find("ChartDataPath=" + chart_folder + "\r\n"), std::string::npos)
      << *settings;
  EXPECT_NE(settings->find("WheelStyle=2\r\n"), std::string::npos) << *settings;

  // Charts come back flat into the chart folder, the other files into their category folders.
  // The settings file was kept and rewritten, as checked above.
  int compared = 0;
  for (const sample::SampleFile& file : files) {
    if (file.path.rfind(user_files, 0) != 0 || file.path == settings_file) continue;
    std::string restored = file.path;
    if (file.path.rfind(chart_folder, 0) == 0) {
      restored = chart_folder + base::NameOf(file.path);
    }
    ++compared;
    const std::optional<std::string> contents = ContentsOf(restored);
    if (!contents) {
      ADD_FAILURE() << file.path << ": not restored (no " << restored << ")";
      continue;
    }
    if (*contents != file.contents) {
      ADD_FAILURE() << file.path << ": restored as " << restored << " with other bytes ("
                    << contents->size() << " bytes, not " << file.contents.size() << ")";
    }
    const uint32_t expected = static_cast<uint32_t>(file.dos_time);
    const std::optional<uint32_t> found = DosTimeOf(restored);
    if (found != expected) {
      ADD_FAILURE() << file.path << ": restored as " << restored << " with the time "
                    << (found ? DosTimeText(*found) : "(none)") << ", not "
                    << DosTimeText(expected);
    }
  }
  EXPECT_GT(compared, 80) << "the sample holds fewer files than it should";
  std::printf("Compared %d restored files\n", compared);
}

}  // namespace
}  // namespace ui::win32::driver
