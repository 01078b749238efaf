#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/program_run.h"

extern char** environ;

namespace test_support {

std::string ProgramBesideThisOne(const std::string& name) {
  char self[4096] = {};
  const ssize_t size = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string path(self, size > 0 ? static_cast<size_t>(size) : 0);
  return path.substr(0, path.rfind('/') + 1) + name;
}

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               std::string* output) {
  output->clear();
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_ends[1]);
  if (spawned == 0) {
    char buffer[4096];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
      output->append(buffer, static_cast<size_t>(got));
    }
  }
  close(pipe_ends[0]);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace test_support
