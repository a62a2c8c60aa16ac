#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/home_folder.h"
#include "platform/settings_file.h"
#include "platform/settings_store.h"

namespace platform {
namespace {

constexpr size_t kMaxFileBytes = 64 * 1024;  // anything larger is not ours
constexpr size_t kMaxValueBytes = 1023;      // longer values read as missing

std::filesystem::path ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  return std::filesystem::path(HomeFolder()) / ".config";
}

// Reads the settings file when it is a regular file of at most
// kMaxFileBytes; a FIFO, a device or a huge file is never waited on or
// read (the defaults apply, and the file is left alone).
bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
            static_cast<uint64_t>(status.st_size) <= kMaxFileBytes;
  text.clear();
  char chunk[4096];
  while (ok) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    text.append(chunk, static_cast<size_t>(got));
    if (text.size() > kMaxFileBytes) ok = false;  // grew while being read
  }
  ::close(fd);
  if (!ok) text.clear();
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool LineNames(const std::string& line, const std::string& name) {
  return line.size() > name.size() && line.compare(0, name.size(), name) == 0 && line[name.size()] == '=';
}

void CreateIfMissing(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) ::close(fd);
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::filesystem::path SettingsFilePath() { return ConfigHome() / "Brackenfold" / "quillmere" / "settings"; }

std::string ReadStoredValue(const std::string& name) {
  const auto path = SettingsFilePath();
  std::string text;
  if (!ReadWholeFile(path, text)) {
    CreateIfMissing(path);
    return {};
  }
  std::string value;
  for (const auto& line : SplitLines(text)) {
    if (LineNames(line, name)) value = line.substr(name.size() + 1);  // the last one wins
  }
  if (value.size() > kMaxValueBytes) return {};
  // Like a registry string, the text ends at its first zero byte.
  return value.substr(0, value.find('\0'));
}

bool WriteStoredValue(const std::string& name, const std::string& value) {
  auto path = SettingsFilePath();
  // A settings file kept elsewhere through a link is written where it is;
  // the link stays.
  std::error_code linkError;
  if (std::filesystem::is_symlink(path, linkError)) {
    const auto target = std::filesystem::canonical(path, linkError);
    if (!linkError) path = target;
  }
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);

  // Something else at the settings path (a FIFO, a device, a huge file) is
  // not ours to replace.
  struct stat status;
  if (::lstat(path.c_str(), &status) == 0 &&
      (!S_ISREG(status.st_mode) || static_cast<uint64_t>(status.st_size) > kMaxFileBytes))
    return false;
  std::string old;
  ReadWholeFile(path, old);
  std::string text;
  bool replaced = false;
  for (const auto& line : SplitLines(old)) {
    if (LineNames(line, name)) {
      if (!replaced) text += name + "=" + value + "\n";
      replaced = true;
    } else if (!line.empty()) {
      text += line + "\n";
    }
  }
  if (!replaced) text += name + "=" + value + "\n";

  // Write beside the file, flush, then rename over it: a crash leaves either
  // the old or the new settings, never a torn file.
  std::string temp = (path.parent_path() / ".settings.XXXXXX").string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  ::fchmod(fd, 0644);
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace platform
