#include "kit/tab_base.h"

#include "kit/text.h"

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
  rootPath = root;  // the chooser hands over "/" separators; a backslash is a name character here
  rootText = ToUtf8(rootPath);
  RootPrefixLength = rootPath.empty() ? 0 : rootPath.size() + (rootPath.back() == '/' ? 0 : 1);
  return true;
}
