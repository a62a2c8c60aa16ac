#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <list>

#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

struct RunningProcess {
  pid_t pid;
  int outputFd;  // read end of its standard output, non-blocking
  std::string output;
  ProcessExit onExit;
};
std::list<RunningProcess> running;

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const auto& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Spawns with stdin from /dev/null and stdout into outFd.
pid_t Spawn(const std::vector<std::string>& argv, int outFd) {
  if (argv.empty()) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A new process group, so a Ctrl+C meant for us does not reach a file manager we started.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  auto pointers = ArgvPointers(argv);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0].c_str(), &actions, &attributes, pointers.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

void DrainOutput(RunningProcess& process) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(process.outputFd, buffer, sizeof buffer);
    if (n > 0) {
      process.output.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // nothing more for now (EAGAIN), or the end
  }
}

}  // namespace

void StartProcess(const std::vector<std::string>& argv, ProcessExit onExit) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    if (onExit) onExit(-1, {});
    return;
  }
  const pid_t pid = Spawn(argv, pipeFds[1]);
  ::close(pipeFds[1]);
  if (pid < 0) {
    ::close(pipeFds[0]);
    if (onExit) onExit(-1, {});
    return;
  }
  ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  running.push_back({pid, pipeFds[0], {}, std::move(onExit)});
}

void PollProcesses() {
  for (auto it = running.begin(); it != running.end();) {
    DrainOutput(*it);
    int status = 0;
    const pid_t done = ::waitpid(it->pid, &status, WNOHANG);
    if (done == 0) {
      ++it;
      continue;
    }
    DrainOutput(*it);  // what it wrote just before it ended
    ::close(it->outputFd);
    auto onExit = std::move(it->onExit);
    const std::string output = std::move(it->output);
    it = running.erase(it);
    if (onExit) onExit(done == -1 ? -1 : ExitCodeOf(status), output);
  }
}

bool ProcessesRunning() { return !running.empty(); }

bool ProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path || name.empty() || name.find('/') != std::string::npos) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty PATH element means the current folder.
    const std::string candidate = (end > start ? dirs.substr(start, end - start) : std::string(".")) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace platform
