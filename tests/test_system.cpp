#include "test_system.h"

#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#include <stdlib.h>
#else
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/settings_file.h"
#endif

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path PathOf(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::filesystem::path MakeTempFolder(const std::string& prefix) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto folder = std::filesystem::temp_directory_path() /
                        (prefix + std::to_string(ProcessNumber()) + "-" + std::to_string(random() % 1000000));
    std::error_code error;
    if (std::filesystem::create_directory(folder, error)) return folder;
  }
  throw std::runtime_error("no temporary folder could be made");
}

std::filesystem::path MakeFolderOnAnotherDisk(const std::string& prefix) {
#ifdef _WIN32
  const std::filesystem::path disk = "R:/";
#else
  const std::filesystem::path disk = "/dev/shm";
#endif
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto folder = disk / (prefix + std::to_string(ProcessNumber()) + "-" + std::to_string(random() % 1000000));
    std::error_code error;
    if (std::filesystem::create_directory(folder, error)) return folder;
  }
  throw std::runtime_error("no folder on another disk could be made");
}

void ForgetSettings() {
#ifdef _WIN32
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Brackenfold\\quillmere");
#else
  std::filesystem::remove_all(platform::SettingsFilePath().parent_path());
#endif
}

double ProcessCpuSeconds() {
#ifdef _WIN32
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  const auto seconds = [](const FILETIME& time) {
    return ((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
#endif
}

bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link, bool toFolder) {
#ifdef _WIN32
  const DWORD flags = (toFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  return CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(), flags) != 0;
#else
  std::error_code error;
  if (toFolder) std::filesystem::create_directory_symlink(target, link, error);
  else std::filesystem::create_symlink(target, link, error);
  return !error;
#endif
}

void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value.c_str());
#else
  ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

int ProcessNumber() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(::getpid());
#endif
}
