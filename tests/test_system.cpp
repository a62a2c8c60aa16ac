#include "test_system.h"

#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/trash.h"

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
  // Wine's call says it made the link and makes none: only a link that is
  // there counts.
  if (!CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(), flags)) return false;
  const DWORD made = GetFileAttributesW(link.wstring().c_str());
  return made != INVALID_FILE_ATTRIBUTES && (made & FILE_ATTRIBUTE_REPARSE_POINT);
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

#ifdef _WIN32
const std::string kOddNamePiece = "\xC3\xA9", kOddNamePieceShown = kOddNamePiece;
#else
const std::string kOddNamePiece = "\xff", kOddNamePieceShown = "\xEF\xBF\xBD";
#endif

std::filesystem::path ReadableTrash() {
#ifdef _WIN32
  return {};
#else
  return std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "Trash";
#endif
}

bool TrashTakesFiles() {
#ifdef _WIN32
  // Asked once, of a file of the tests' own.
  static const bool takes = [] {
    const auto folder = MakeTempFolder("sortiq-trash-probe-");
    const auto file = folder / "probe.txt";
    std::ofstream(file) << "probe";
    std::optional<platform::TrashEntry> entry;
    const bool done = platform::MoveToTrash(PathText(file), std::nullopt, entry) == platform::FileOperationResult::Done;
    if (entry) platform::RestoreFromTrash(*entry);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return done;
  }();
  return takes;
#else
  return true;
#endif
}

bool UnderWine() {
#ifdef _WIN32
  // Wine's own export, which Windows does not have.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}
