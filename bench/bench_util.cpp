#include "bench_util.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

extern char** environ;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MedianSeconds(int repeat, const std::function<void()>& body) {
  std::vector<double> times;
  for (int i = 0; i < repeat; ++i) {
    const auto start = std::chrono::steady_clock::now();
    body();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return Median(times);
}

double TimeProgram(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const auto& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double MedianProgramSeconds(int repeat, const std::vector<std::string>& argv) {
  std::vector<double> times;
  for (int i = 0; i < repeat; ++i) {
    const double t = TimeProgram(argv);
    if (t < 0) return -1;
    times.push_back(t);
  }
  return Median(times);
}

ScopedConfigFolder::ScopedConfigFolder() {
  char pattern[] = "/tmp/sortiq-bench-config-XXXXXX";
  if (!mkdtemp(pattern)) return;
  path = pattern;
  setenv("XDG_CONFIG_HOME", pattern, 1);
}

ScopedConfigFolder::~ScopedConfigFolder() {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}
