// Desktop services on Windows: the shell's folder dialog, message boxes
// (a task dialog where the buttons have words of their own), Explorer with
// the file selected, and the default browser.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/shell.h"
#include "platform/utf16_windows.h"
#include "platform/window_handle_windows.h"

namespace platform {
namespace {

// The chosen item's file-system path; empty for one that has none (a
// library, a virtual folder).
std::string PathOfItem(PIDLIST_ABSOLUTE item) {
  std::wstring path(32768, L'\0');
  if (!SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) return {};
  path.resize(wcslen(path.c_str()));
  return ProgramPath(path);
}

using TaskDialogIndirectCall = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Version 6 of the common controls has the task dialog; the program's
// manifest asks for it, but an older system may not give it.
TaskDialogIndirectCall FindTaskDialog() {
  HMODULE controls = GetModuleHandleW(L"comctl32.dll");
  if (!controls) controls = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return controls ? reinterpret_cast<TaskDialogIndirectCall>(
                        reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")))
                  : nullptr;
}

class DesktopShell final : public ShellBackend {
 public:
  bool ChooseFolder(const std::string& title, FolderChosen onChosen, ChooserFailed) override {
    const std::wstring wideTitle = Utf16(title);
    BROWSEINFOW browse{};
    browse.hwndOwner = MainWindowHandle();
    browse.lpszTitle = wideTitle.c_str();
    // With a box to type a path into, as well as the tree.
    browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
    if (!item) {
      onChosen(std::nullopt);
      return true;
    }
    std::string folder = PathOfItem(item);
    CoTaskMemFree(item);
    onChosen(std::move(folder));
    return true;
  }

  Answer AskYesNoCancel(const std::string& question, const std::string& caption) override {
    // Every question here deletes or replaces: No is the default, and only
    // a deliberate Yes consents.
    const int pressed = MessageBoxW(MainWindowHandle(), Utf16(question).c_str(), Utf16(caption).c_str(),
                                    MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    return pressed == IDYES ? Answer::Yes : pressed == IDCANCEL ? Answer::Cancel : Answer::No;
  }

  int AskChoice(const std::string& question, const std::string& caption, const std::vector<std::string>& labels,
                int safe) override {
    if (labels.empty()) return safe;
    const TaskDialogIndirectCall taskDialog = FindTaskDialog();
    if (!taskDialog) return safe;  // a box that cannot be shown gives the safe answer
    std::vector<std::wstring> texts;
    for (const std::string& label : labels) texts.push_back(Utf16(label));
    std::vector<TASKDIALOG_BUTTON> buttons;
    for (size_t i = 0; i < texts.size(); ++i) buttons.push_back({static_cast<int>(100 + i), texts[i].c_str()});
    const std::wstring wideQuestion = Utf16(question), wideCaption = Utf16(caption);
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = MainWindowHandle();
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;  // Escape and closing answer Cancel: the safe one
    config.pszWindowTitle = wideCaption.c_str();
    config.pszMainIcon = TD_INFORMATION_ICON;
    config.pszContent = wideQuestion.c_str();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.data();
    config.nDefaultButton = 100 + safe;
    int pressed = 0;
    if (taskDialog(&config, &pressed, nullptr, nullptr) != S_OK) return safe;
    const int chosen = pressed - 100;
    return chosen >= 0 && chosen < static_cast<int>(labels.size()) ? chosen : safe;
  }

  void RevealInFileManager(const std::string& path) override {
    std::wstring file = Utf16(path);
    for (wchar_t& c : file)
      if (c == L'/') c = L'\\';
    // No name on Windows holds a double quote, so the quotes keep it whole.
    const std::wstring parameters = L"/select, \"" + file + L"\"";
    // The system's own Explorer, never one in the current folder.
    std::wstring explorer(MAX_PATH, L'\0');
    const UINT length = GetWindowsDirectoryW(explorer.data(), static_cast<UINT>(explorer.size()));
    explorer = length > 0 && length < explorer.size() ? explorer.substr(0, length) + L"\\explorer.exe" : L"explorer.exe";
    ShellExecuteW(MainWindowHandle(), L"open", explorer.c_str(), parameters.c_str(), nullptr, SW_SHOWMAXIMIZED);
  }

  void OpenAddress(const std::string& address) override {
    ShellExecuteW(nullptr, L"open", Utf16(address).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
  }
};

DesktopShell desktopShell;
ShellBackend* current = &desktopShell;

}  // namespace

ShellBackend& Shell() { return *current; }

void SetShell(ShellBackend* backend) { current = backend ? backend : &desktopShell; }

}  // namespace platform
