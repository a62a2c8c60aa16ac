#include <windows.h>
#include <algorithm>

#include "platform/utf16_windows.h"
#include "platform/whole_file.h"

namespace platform {

bool ReadWholeFile(const std::string& path, uint64_t largest, std::vector<unsigned char>& bytes) {
  bytes.clear();
  HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  // Only a plain file on a disk: a pipe or device has no size to trust.
  bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
            static_cast<uint64_t>(size.QuadPart) <= largest;
  if (ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t got = 0;
    while (ok && got < bytes.size()) {
      DWORD read = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - got, 1u << 30));
      ok = ReadFile(file, bytes.data() + got, want, &read, nullptr) && read > 0;  // cut short since it was looked at
      got += read;
    }
  }
  CloseHandle(file);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace platform
