#include "platform/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir && user->pw_dir[0] == '/') return user->pw_dir;
  return "/";
}

}  // namespace platform
