#include "platform/shell.h"

namespace platform {

std::string FileUriForPath(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string uri = path.empty() || path[0] != '/' ? "file:///" : "file://";  // "C:/x" is file:///C:/x
  for (unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 15];
    }
  }
  return uri;
}

}  // namespace platform
