#include "classifier/classifier_rules.h"

#include <algorithm>

#include "kit/text.h"
#include "platform/path_syntax.h"

std::string MoveDestination(const std::string& file, const std::string& root, const std::string& folder) {
  if (root.empty() || file.compare(0, root.size(), root) != 0) return {};
  size_t below = root.size();
  if (root.back() != '/') {
    if (file.size() <= below || file[below] != '/') return {};  // "/a" is not the root of "/ab/x"
    ++below;
  }
  return folder + "/" + file.substr(below);
}

bool IsAcceptableName(const std::string& name) { return platform::IsAllowedName(name); }

void SortFolders(std::vector<std::string>& folders) { std::sort(folders.begin(), folders.end()); }

std::string FolderLabel(const std::string& folderText, size_t rootTextLength) {
  std::string label = folderText.substr(std::min(rootTextLength, folderText.size()));
  if (!label.empty() && (label[0] == '/' || label[0] == '\\')) label.erase(0, 1);
  return label;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

EditableName NameForEditing(const std::string& name) {
  if (ToUtf8(name) == name) return {name, false};
  static const char* hex = "0123456789abcdef";
  EditableName editable{{}, true};
  for (size_t i = 0; i < name.size();) {
    // The longest well-formed sequence from here, if any.
    size_t length = 1;
    while (length <= 4 && i + length <= name.size() && ToUtf8(name.substr(i, length)) != name.substr(i, length))
      ++length;
    if (length <= 4 && i + length <= name.size()) {
      const std::string piece = name.substr(i, length);
      editable.text += piece == "\\" ? "\\\\" : piece;
      i += length;
      continue;
    }
    const auto byte = static_cast<unsigned char>(name[i]);
    editable.text += "\\x";
    editable.text += hex[byte >> 4];
    editable.text += hex[byte & 15];
    ++i;
  }
  return editable;
}

std::string NameFromEditing(const std::string& text, bool escaped) {
  if (!escaped) return text;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      bytes += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && digit(text[i + 2]) >= 0 &&
               digit(text[i + 3]) >= 0) {
      bytes += static_cast<char>(digit(text[i + 2]) * 16 + digit(text[i + 3]));
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

bool IsDirectlyIn(const std::string& path, const std::string& folder) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || folder.empty()) return false;
  // Trailing "/" aside, but a root keeps its own ("/", "C:/").
  const auto trimmed = [](std::string text) {
    const size_t keep = std::max<size_t>(platform::RootLength(text), 1);
    while (text.size() > keep && text.back() == '/') text.pop_back();
    return text;
  };
  return trimmed(path.substr(0, slash + 1)) == trimmed(folder);
}
