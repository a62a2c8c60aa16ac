#pragma once
// A small RAM disk mounted on a folder for the length of a test, to see
// what a full disk does. Only root may mount: elsewhere it is not mounted
// and the test says so and skips.
#ifdef _WIN32
#include <filesystem>

// Windows mounts no disks for a test: the tests that need one skip.
struct SmallDisk {
  SmallDisk(const std::filesystem::path& folder, size_t) : path(folder) { std::filesystem::create_directories(folder); }
  static constexpr const char* kWhyNot = "a small disk is mounted for a test on Linux only";
  bool mounted = false;
  std::filesystem::path path;
};
using LoopDisk = SmallDisk;
#else
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class SmallDisk {
 public:
  SmallDisk(const std::filesystem::path& folder, size_t bytes) : path(folder) {
    std::filesystem::create_directories(folder);
    const std::string options = "size=" + std::to_string(bytes);
    mounted = ::geteuid() == 0 && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted) ::umount2(path.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  static constexpr const char* kWhyNot = "mounting a small RAM disk needs root";
  bool mounted = false;
  std::filesystem::path path;
};

// A small real disk (ext4 in a file, mounted through a loop device): a disk
// of its own, with a trash folder of its own, as a USB stick has. Root
// only, and only where loop devices exist.
class LoopDisk {
 public:
  LoopDisk(const std::filesystem::path& folder, size_t bytes) : path(folder), image(folder.string() + ".img") {
    std::filesystem::create_directories(folder);
    if (::geteuid() != 0) return;
    std::filesystem::resize_file(CreatedEmpty(image), bytes);
    mounted = Run({"mkfs.ext4", "-q", "-F", image.string()}) &&
              Run({"mount", "-o", "loop", image.string(), folder.string()});
  }
  ~LoopDisk() {
    if (mounted) Run({"umount", "-l", path.string()});
    std::error_code ignored;
    std::filesystem::remove(image, ignored);
  }
  LoopDisk(const LoopDisk&) = delete;
  LoopDisk& operator=(const LoopDisk&) = delete;

  static constexpr const char* kWhyNot = "mounting a disk image needs root and loop devices";
  bool mounted = false;
  std::filesystem::path path;

 private:
  static const std::filesystem::path& CreatedEmpty(const std::filesystem::path& file) {
    std::ofstream{file};
    return file;
  }
  // Runs a program with its arguments as they are; true when it exits 0.
  static bool Run(const std::vector<std::string>& argv) {
    const pid_t child = ::fork();
    if (child == 0) {
      std::vector<char*> args;
      for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
      args.push_back(nullptr);
      ::freopen("/dev/null", "w", stderr);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  std::filesystem::path image;
};
#endif
