#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool ReadWholeFile(const std::string& path, uint64_t largest, std::vector<unsigned char>& bytes) {
  // Non-blocking open: a FIFO at the path must not hold the reader up.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status {};
  bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
            static_cast<uint64_t>(status.st_size) <= largest;
  if (ok) {
    bytes.resize(static_cast<size_t>(status.st_size));
    size_t got = 0;
    while (ok && got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ok = false;  // cut short since it was looked at
      else got += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace platform
