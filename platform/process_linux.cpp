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
  int outputFd;  // read ends of its standard output and error, non-blocking (-1: not read)
  int errorFd;
  std::string output, errors;
  ProcessExit onExit;
};
std::list<RunningProcess> running;

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const auto& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Spawns with stdin from /dev/null, stdout and stderr into outFd and
// errFd, or stdout to /dev/null when outFd is -1.
pid_t Spawn(const std::vector<std::string>& argv, int outFd, int errFd) {
  if (argv.empty()) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
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

void Drain(int fd, std::string& into) {
  if (fd < 0) return;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // nothing more for now (EAGAIN), or the end
  }
}

void DrainOutput(RunningProcess& process) {
  Drain(process.outputFd, process.output);
  Drain(process.errorFd, process.errors);
}

}  // namespace

void StartProcess(const std::vector<std::string>& argv, ProcessExit onExit, ProcessOutput output) {
  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  const bool read = output == ProcessOutput::Read;
  if (read && (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)) {
    for (int fd : {outPipe[0], outPipe[1]})
      if (fd >= 0) ::close(fd);
    if (onExit) onExit(-1, {}, {});
    return;
  }
  const pid_t pid = Spawn(argv, outPipe[1], errPipe[1]);
  for (int fd : {outPipe[1], errPipe[1]})
    if (fd >= 0) ::close(fd);
  if (pid < 0) {
    for (int fd : {outPipe[0], errPipe[0]})
      if (fd >= 0) ::close(fd);
    if (onExit) onExit(-1, {}, {});
    return;
  }
  for (int fd : {outPipe[0], errPipe[0]})
    if (fd >= 0) ::fcntl(fd, F_SETFL, O_NONBLOCK);
  running.push_back({pid, outPipe[0], errPipe[0], {}, {}, std::move(onExit)});
}

bool PollProcesses() {
  bool ended = false;
  for (auto it = running.begin(); it != running.end();) {
    DrainOutput(*it);
    int status = 0;
    const pid_t done = ::waitpid(it->pid, &status, WNOHANG);
    if (done == 0) {
      ++it;
      continue;
    }
    DrainOutput(*it);  // what it wrote just before it ended
    for (int fd : {it->outputFd, it->errorFd})
      if (fd >= 0) ::close(fd);
    auto onExit = std::move(it->onExit);
    const std::string output = std::move(it->output), errors = std::move(it->errors);
    it = running.erase(it);
    ended = true;
    if (onExit) onExit(done == -1 ? -1 : ExitCodeOf(status), output, errors);
  }
  return ended;
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
