// The Recycle Bin. A file goes in through the shell's file operation, which
// reports the item it became in the bin; putting it back is a rename of
// that item to where it was (same volume: the bin is on the file's own),
// and the removal of the bin's note of it. A file whose volume has no bin
// is never deleted for good here: the shell's operation is stopped before
// it begins such a deletion.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <shellapi.h>

#include "platform/file_identity_windows.h"
#include "platform/trash.h"
#include "platform/com_on_stack_windows.h"
#include "platform/utf16_windows.h"

namespace platform {

const char* TrashName() { return "Recycle Bin"; }

namespace {

using Result = FileOperationResult;

// COM for this thread (the delete worker), once, for its whole life.
bool ComReady() {
  thread_local const HRESULT ready = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  return SUCCEEDED(ready) || ready == RPC_E_CHANGED_MODE;
}

// Hears what became of the item; stops a deletion that would not recycle.
class DeleteWatcher final : public ComOnStack<IFileOperationProgressSink> {
 public:
  std::wstring recycled;   // the item in the bin
  bool refusedForGood = false;
  HRESULT result = E_FAIL;

  HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override {
    if (flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) return S_OK;
    refusedForGood = true;
    return E_ABORT;
  }
  HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT deleted, IShellItem* created) override {
    result = deleted;
    PWSTR path = nullptr;
    if (created && SUCCEEDED(created->GetDisplayName(SIGDN_FILESYSPATH, &path))) recycled = path;
    CoTaskMemFree(path);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }
};

// The bin keeps each file as "$R..." beside its note "$I...".
std::wstring NoteOf(const std::wstring& recycled) {
  std::wstring note = recycled;
  const size_t name = note.find_last_of(L'\\');
  if (name != std::wstring::npos && note.compare(name + 1, 2, L"$R") == 0) note[name + 2] = L'I';
  return note;
}

}  // namespace

FileOperationResult MoveToTrash(const std::string& path, const std::optional<FileIdentity>& expected,
                                std::optional<TrashEntry>& entry) {
  entry.reset();
  const std::wstring file = SystemPath(path);
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Result::SourceMissing;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Result::Failed;  // a folder never
  const auto identity = IdentityOfSystemPath(file, false);
  if (expected && identity != expected) return Result::OtherFile;
  if (!ComReady()) return Result::NoTrash;

  // The shell reads plain paths: no "\\?\" prefix.
  std::wstring plain = Utf16(path);
  for (wchar_t& c : plain)
    if (c == L'/') c = L'\\';
  IShellItem* item = nullptr;
  IFileOperation* operation = nullptr;
  if (FAILED(SHCreateItemFromParsingName(plain.c_str(), nullptr, IID_PPV_ARGS(&item)))) return Result::NoTrash;
  if (FAILED(CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation)))) {
    item->Release();
    return Result::NoTrash;
  }
  DeleteWatcher watcher;
  DWORD cookie = 0;
  HRESULT done = operation->SetOperationFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI |
                                              FOFX_EARLYFAILURE | FOFX_RECYCLEONDELETE);
  if (SUCCEEDED(done)) done = operation->Advise(&watcher, &cookie);
  if (SUCCEEDED(done)) done = operation->DeleteItem(item, nullptr);
  if (SUCCEEDED(done)) done = operation->PerformOperations();
  if (cookie) operation->Unadvise(cookie);
  operation->Release();
  item->Release();

  const bool stillThere = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (stillThere) return watcher.refusedForGood || FAILED(done) ? Result::NoTrash : Result::TrashBroken;
  if (!watcher.recycled.empty()) {
    const std::wstring recycled = SystemPath(ProgramPath(watcher.recycled));
    entry = TrashEntry{ProgramPath(watcher.recycled), ProgramPath(NoteOf(watcher.recycled)), path,
                       IdentityOfSystemPath(recycled, false).value_or(identity.value_or(FileIdentity{}))};
  }
  return Result::Done;
}

FileOperationResult RestoreFromTrash(const TrashEntry& entry) {
  const std::wstring recycled = SystemPath(entry.file);
  const auto identity = IdentityOfSystemPath(recycled, false);
  if (!identity || *identity != entry.identity) return Result::SourceMissing;
  if (!MoveFileExW(recycled.c_str(), SystemPath(entry.originalPath).c_str(), 0)) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return Result::TargetExists;
    if (error == ERROR_PATH_NOT_FOUND) return Result::FolderMissing;
    if (error == ERROR_ACCESS_DENIED) return Result::NoPermission;
    return Result::Failed;
  }
  if (!entry.info.empty()) DeleteFileW(SystemPath(entry.info).c_str());  // the bin forgets it
  return Result::Done;
}

}  // namespace platform
