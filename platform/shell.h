#pragma once
// The desktop services the tabs use: folder chooser, confirmation box, file
// manager and browser. The desktop implementation is the default; tests put
// a scripted one in its place with SetShell.
#include <optional>
#include <string>

namespace platform {

enum class Answer { Yes, No, Cancel };

class ShellBackend {
 public:
  virtual ~ShellBackend() = default;
  // A folder path, or nothing when the user cancelled or no chooser works.
  virtual std::optional<std::string> ChooseFolder(const std::string& title) = 0;
  // Modal Yes/No/Cancel question; a box that cannot be shown answers No.
  virtual Answer AskYesNoCancel(const std::string& question, const std::string& caption) = 0;
  // Shows the file selected in the file manager; failures are ignored.
  virtual void RevealInFileManager(const std::string& path) = 0;
  // Opens a web address in the browser; failures are ignored.
  virtual void OpenAddress(const std::string& address) = 0;
};

ShellBackend& Shell();
// Replaces the desktop services; nullptr puts the desktop ones back.
void SetShell(ShellBackend* backend);

// Percent-encodes a path into a file:// URI (every byte outside the
// unreserved set and '/').
std::string FileUriForPath(const std::string& path);

}  // namespace platform
