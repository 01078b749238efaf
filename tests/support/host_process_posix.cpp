#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/posix/drive_map.h"
#include "support/host_process.h"

namespace test_support {

bool ChildProcess::Start(const std::function<void(ChildProcess&)>& body) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return false;
  pid_ = fork();
  if (pid_ == 0) {
    close(pipe_ends[0]);
    signal_fd_ = pipe_ends[1];
    body(*this);
    _exit(0);  // never reached its point: the parent sees the pipe close
  }
  close(pipe_ends[1]);
  char byte = 0;
  const bool reached = pid_ > 0 && read(pipe_ends[0], &byte, 1) == 1;
  close(pipe_ends[0]);
  return reached;
}

void ChildProcess::Reached() {
  const char byte = 'x';
  if (write(signal_fd_, &byte, 1) != 1) _exit(2);
  for (;;) pause();
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool LimitAddressSpace(uint64_t bytes) {
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm) return false;
  unsigned long long pages = 0;
  const bool read = std::fscanf(statm, "%llu", &pages) == 1;
  std::fclose(statm);
  if (!read) return false;
  struct rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0) return false;
  limit.rlim_cur = pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) + bytes;
  return setrlimit(RLIMIT_AS, &limit) == 0;
}

FileSizeLimit::FileSizeLimit(uint64_t bytes) {
  struct rlimit saved;
  if (getrlimit(RLIMIT_FSIZE, &saved) != 0) return;
  saved_current_ = saved.rlim_cur;
  saved_maximum_ = saved.rlim_max;
  struct rlimit small = saved;
  small.rlim_cur = bytes;
  saved_handler_ = signal(SIGXFSZ, SIG_IGN);
  set_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
  if (!set_) signal(SIGXFSZ, saved_handler_);
}

FileSizeLimit::~FileSizeLimit() {
  if (!set_) return;
  struct rlimit saved;
  saved.rlim_cur = saved_current_;
  saved.rlim_max = saved_maximum_;
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, saved_handler_);
}

AccessMode::AccessMode(const std::string& path, unsigned mode) {
  std::string host;
  if (platform::posix::ToHostPath(path, &host) && chmod(host.c_str(), mode) == 0) host_ = host;
}

AccessMode::~AccessMode() {
  struct stat st;
  if (!host_.empty() && stat(host_.c_str(), &st) == 0)
    chmod(host_.c_str(), S_ISDIR(st.st_mode) ? 0755 : 0644);
}

namespace {

uint64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  uint64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

BoundedRun RunWithinMemory(const std::function<std::string()>& body, uint64_t max_growth,
                           unsigned seconds) {
  BoundedRun run;
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return run;
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_ends[0]);
    alarm(seconds);
    // The peak is sampled often enough that work growing by gigabytes a second is caught within
    // a few megabytes of the bound.
    const uint64_t start = ResidentBytes();
    std::atomic<uint64_t> peak{0};
    std::thread watch([&] {
      for (;;) {
        const uint64_t now = ResidentBytes();
        const uint64_t growth = now > start ? now - start : 0;
        if (growth > peak) peak = growth;
        if (growth > max_growth) _exit(3);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
    watch.detach();
    std::string output;
    try {
      output = body();
    } catch (...) {
      _exit(4);
    }
    const uint64_t growth = ResidentBytes() - std::min(start, ResidentBytes());
    if (growth > peak) peak = growth;
    const std::string report = std::to_string(peak.load()) + "\n" + output;
    _exit(WriteAll(pipe_ends[1], report) ? 0 : 5);
  }
  close(pipe_ends[1]);
  if (pid < 0) {
    close(pipe_ends[0]);
    return run;
  }
  std::string report;
  char buffer[4096];
  ssize_t got;
  while ((got = read(pipe_ends[0], buffer, sizeof buffer)) > 0) report.append(buffer, got);
  close(pipe_ends[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  const size_t end_of_peak = report.find('\n');
  run.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0 && end_of_peak != std::string::npos;
  if (run.finished) {
    run.peak_growth = std::stoull(report.substr(0, end_of_peak));
    run.output = report.substr(end_of_peak + 1);
  }
  return run;
}

bool RunningAsRoot() { return geteuid() == 0; }

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

// Whether nobody may start the program at path: a checkout in root's home may be closed to it.
bool NobodyCanRun(const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kNoGroup) != 0 || setuid(kNobody) != 0) _exit(2);
    _exit(access(path.c_str(), R_OK | X_OK) == 0 ? 0 : 1);
  }
  int status = -1;
  if (pid > 0) waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A copy of the program, and of the libraries beside it that it loads from there, in a folder
// anyone may read; empty when it cannot be made.
std::string CopyForNobody(const std::string& program, std::string* folder) {
  char pattern[] = "/tmp/rd-unprivileged-bin-XXXXXX";
  if (!mkdtemp(pattern) || chmod(pattern, 0755) != 0) return std::string();
  *folder = pattern;
  const std::filesystem::path from(program);
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(from.parent_path(), error)) {
    if (entry.path().extension() == ".so") {
      std::filesystem::copy_file(entry.path(),
                                 std::filesystem::path(*folder) / entry.path().filename(), error);
    }
  }
  const std::filesystem::path copy = std::filesystem::path(*folder) / from.filename();
  if (!std::filesystem::copy_file(from, copy, error)) return std::string();
  return copy.string();
}

}  // namespace

bool RunUnprivileged() {
  constexpr char kChildMark[] = "RD_UNPRIVILEGED_CHILD";
  if (getenv(kChildMark) || geteuid() != 0) return true;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  char exe[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  char output[] = "/tmp/rd-unprivileged-XXXXXX";
  const int out = mkstemp(output);
  if (length <= 0 || out < 0) {
    ADD_FAILURE() << "cannot start the unprivileged child";
    return false;
  }
  exe[length] = '\0';
  std::string program = exe, copy_folder;
  if (!NobodyCanRun(program)) program = CopyForNobody(program, &copy_folder);
  const pid_t pid = program.empty() ? -1 : fork();
  if (pid == 0) {
    dup2(out, 1);
    dup2(out, 2);
    setenv(kChildMark, "1", 1);
    // The faults below the program are not for these tests, and may lie where nobody cannot go;
    // so may the folder the tests run in.
    unsetenv("LD_PRELOAD");
    if (chdir("/") != 0) _exit(126);
    // nobody and nogroup, with no other groups: no access but what any user has.
    execlp("setpriv", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
           program.c_str(), filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out);
  int status = -1;
  if (pid > 0) waitpid(pid, &status, 0);
  std::ifstream file(output);
  std::stringstream text;
  text << file.rdbuf();
  unlink(output);
  if (!copy_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(copy_folder, ignored);
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the test, run as an unprivileged user, failed:\n"
      << text.str();
  EXPECT_NE(text.str().find("[  PASSED  ] 1 test."), std::string::npos)
      << "the unprivileged child did not run the test:\n"
      << text.str();
  return false;
}

}  // namespace test_support
