#pragma once
// A small RAM disk mounted on a folder for the length of a test, to see
// what a full disk does. Only root may mount: elsewhere it is not mounted
// and the test says so and skips.
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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
