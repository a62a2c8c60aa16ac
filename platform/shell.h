#pragma once
// The desktop services the tabs use: folder chooser, confirmation box, file
// manager and browser. The desktop implementation is the default; tests put
// a scripted one in its place with SetShell.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class Answer { Yes, No, Cancel };

// The chosen folder ("/" separators), or nothing when the user cancelled.
using FolderChosen = std::function<void(std::optional<std::string> folder)>;
// The desktop's chooser failed for another reason than the user's cancel
// (no display, killed, an unexpected exit): another chooser may stand in.
using ChooserFailed = std::function<void()>;

class ShellBackend {
 public:
  virtual ~ShellBackend() = default;
  // Opens the desktop's folder chooser without blocking the frame loop;
  // onChosen runs on the GUI thread once the user has answered, onFailed
  // instead when the chooser broke down. False when the desktop has no
  // chooser (neither is then called).
  virtual bool ChooseFolder(const std::string& title, FolderChosen onChosen, ChooserFailed onFailed) = 0;
  // Modal Yes/No/Cancel question before a deletion or a replacement:
  // Enter, Escape and closing the box answer No, and so does a box that
  // cannot be shown.
  virtual Answer AskYesNoCancel(const std::string& question, const std::string& caption) = 0;
  // Modal question with the caller's buttons (left to right); Enter,
  // Escape, closing the box and a box that cannot be shown give `safe`.
  // The index of the button chosen.
  virtual int AskChoice(const std::string& question, const std::string& caption,
                        const std::vector<std::string>& buttons, int safe) = 0;
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
