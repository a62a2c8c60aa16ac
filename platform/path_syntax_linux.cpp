#include "platform/path_syntax.h"

namespace platform {

size_t RootLength(std::string_view path) { return !path.empty() && path[0] == '/' ? 1 : 0; }

const char* FullPathStart() { return "/"; }

const char* NameRules() { return "a name cannot be empty, \".\" or \"..\", or hold \"/\""; }

std::string WithForwardSlashes(std::string_view typed) { return std::string(typed); }

bool IsAllowedName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace platform
