// CD writing on Linux: xorriso (Debian's package xorriso) burns the staging folder as one ISO 9660
// session with Joliet and Rock Ridge names, and tells how far it is, which the program shows in its
// own progress window. The writer is the one xorriso finds, or the one RIDIDEDUVURE_CD_WRITER names
// (a device such as /dev/sr1, or xorriso's "stdio:" with a file, which is written as an image).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/cd_burn_service.h"
#include "platform/platform.h"
#include "platform/posix/drive_map.h"

namespace platform {
namespace {

constexpr char kWriterVariable[] = "RIDIDEDUVURE_CD_WRITER";

std::string Env(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// The xorriso program on the PATH; empty when there is none.
std::string FindXorriso() {
  std::string path = Env("PATH");
  if (path.empty()) path = "/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string candidate =
        (end > start ? path.substr(start, end - start) : std::string(".")) + "/xorriso";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

// Runs xorriso with arguments, handing each line it writes (on either stream) to on_line; its exit
// status, or -1 when it could not be run.
template <class OnLine>
int RunXorriso(const std::string& program, const std::vector<std::string>& arguments,
               OnLine on_line) {
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    // Only calls safe after a fork in a process with threads, until exec.
    dup2(pipe_ends[1], STDOUT_FILENO);
    dup2(pipe_ends[1], STDERR_FILENO);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, STDIN_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  if (pid < 0) {
    close(pipe_ends[0]);
    return -1;
  }
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(pipe_ends[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    pending.append(buffer, static_cast<size_t>(got));
    for (size_t end; (end = pending.find_first_of("\r\n")) != std::string::npos;) {
      if (end > 0) on_line(pending.substr(0, end));
      pending.erase(0, end + 1);
    }
  }
  if (!pending.empty()) on_line(pending);
  close(pipe_ends[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The writer: the one named by the environment when it is usable, else the first one xorriso
// lists. Empty when there is none.
std::string FindWriter(const std::string& xorriso) {
  const std::string named = Env(kWriterVariable);
  if (!named.empty()) {
    // Taken only when xorriso can open it for writing.
    const int status =
        RunXorriso(xorriso, {"-abort_on", "FAILURE", "-outdev", named}, [](const std::string&) {});
    return status == 0 ? named : std::string();
  }
  std::string writer;
  RunXorriso(xorriso, {"-devices"}, [&](const std::string& line) {
    // 0  -dev '/dev/sr0' rwrw-- :  'VENDOR' 'MODEL'
    const size_t dev = line.find("-dev '");
    if (!writer.empty() || dev == std::string::npos) return;
    const size_t start = dev + 6;
    const size_t end = line.find('\'', start);
    if (end != std::string::npos) writer = line.substr(start, end - start);
  });
  return writer;
}

// The staging folder on the host: the user's cache folder, where nothing else of theirs lies.
std::string StagingHostFolder() {
  std::string cache = Env("XDG_CACHE_HOME");
  if (cache.empty() && !Env("HOME").empty()) cache = Env("HOME") + "/.cache";
  if (cache.empty()) return std::string();
  return cache + "/ridideduvure/cd-staging";
}

bool MakeHostFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

// The share done that a line of xorriso's progress tells ("Writing:  1234s  45.2%  fifo ..."), or
// -1 when it tells none.
int PercentOf(const std::string& line) {
  if (line.find("Writing:") == std::string::npos) return -1;
  const size_t percent = line.find('%');
  if (percent == std::string::npos) return -1;
  size_t start = percent;
  while (start > 0 &&
         (isdigit(static_cast<unsigned char>(line[start - 1])) || line[start - 1] == '.')) {
    --start;
  }
  if (start == percent) return -1;
  return static_cast<int>(atof(line.substr(start, percent - start).c_str()) + 0.5);
}

class XorrisoBurnService : public CdBurnService {
 public:
  XorrisoBurnService(std::string xorriso, std::string writer)
      : xorriso_(std::move(xorriso)), writer_(std::move(writer)) {}

  long HasRecordableDrive(bool* has) override {
    *has = !writer_.empty();
    return 0;
  }

  // A device has no drive letter of its own here: the CD-ROM drive of the map stands for it when
  // there is one.
  long GetRecorderDriveLetter(std::string* drive) override {
    drive->clear();
    for (const auto& [letter, mapped] : posix::CurrentDriveMap()->drives) {
      const std::string root = std::string(1, letter) + ":\\";
      if (GetDriveType(root) == kDriveCdrom) *drive = root;
    }
    return 0;
  }

  long Burn(void*) override {
    std::string failure;
    return BurnShowingProgress(
        nullptr, [](int, const std::string&) {}, &failure);
  }

  bool ShowsOwnProgress() const override { return false; }

  long BurnShowingProgress(void*, const BurnProgress& progress, std::string* failure) override {
    const std::string staging = StagingHostFolder();
    std::string last_problem;
    progress(0, "Starting to write the CD on " + writer_ + ".");
    const int status =
        RunXorriso(xorriso_,
                   {"-abort_on", "FAILURE", "-outdev", writer_, "-volid", "RIDIDEDUVURE", "-joliet",
                    "on", "-rockridge", "on", "-map", staging, "/", "-commit"},
                   [&](const std::string& line) {
                     const int percent = PercentOf(line);
                     if (percent >= 0)
                       progress(percent, "Writing the CD: " + std::to_string(percent) + " %");
                     if (line.find(": FAILURE :") != std::string::npos ||
                         line.find(": SORRY :") != std::string::npos) {
                       last_problem = line.substr(line.find(" : ", line.find(" : ") + 3) + 3);
                     }
                   });
    if (status == 0) {
      progress(100, "The CD is written.");
      return 0;
    }
    *failure = "xorriso could not write the CD on " + writer_ +
               (last_problem.empty() ? std::string(".") : ": " + last_problem);
    return status;
  }

 private:
  std::string xorriso_;
  std::string writer_;
};

}  // namespace

std::unique_ptr<CdBurnService> CreateNativeCdBurnService(std::string* error) {
  const std::string xorriso = FindXorriso();
  if (xorriso.empty()) {
    *error = "xorriso, which writes CDs on Linux, is not installed (Debian's package xorriso)";
    return nullptr;
  }
  return std::make_unique<XorrisoBurnService>(xorriso, FindWriter(xorriso));
}

bool GetNativeCdBurnArea(std::string* path) {
  path->clear();
  const std::string host = StagingHostFolder();
  std::string windows;
  if (host.empty() || !MakeHostFolders(host) || !posix::ToWindowsPath(host, &windows)) return false;
  *path = windows;
  return true;
}

}  // namespace platform
