#include "kit/tab_base.h"

#include "kit/text.h"
#include "platform/path_syntax.h"

Base::Base(bool recursive, bool collectSizes) : scanner(recursive, collectSizes) {}

void Base::Reset() {
  rootPath.clear();
  rootText.clear();
  RootPrefixLength = 0;
  scanner.scanning = false;
  CurrentPath.clear();
  CurrentText.clear();
}

bool Base::SetRoot(const std::string& root) {
  if (root.size() > kMaxRootPathLength) return false;
  rootPath = platform::WithForwardSlashes(root);  // on Linux a backslash is a name character and stays
  rootText = ToUtf8(rootPath);
  RootPrefixLength = rootPath.empty() ? 0 : rootPath.size() + (rootPath.back() == '/' ? 0 : 1);
  return true;
}
