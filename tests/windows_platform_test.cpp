// The Windows back end's own rules, through its real calls (under Wine
// here): moves that never replace, copies onto another disk that are whole
// or not at all, names Unicode cannot write, long paths, and the settings
// as the registry holds them.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "kit/folder_scanner.h"
#include "kit/text.h"
#include "platform/file_operations.h"
#include "platform/settings_store.h"
#include "platform/trash.h"
#include "temp_tree.h"
#include "test_system.h"

namespace fs = std::filesystem;
using platform::FileOperationResult;

namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& bytes) { std::ofstream(PathOf(path), std::ios::binary) << bytes; }

}  // namespace

TEST(WindowsFileOperations, MovesNeverReplaceAndReplaceOnlyWhatWasAgreedTo) {
  TempTree tree;
  const std::string root = tree.RootString();
  tree.Folder("Sub");
  Write(root + "/a.mp4", "new");
  Write(root + "/Sub/a.mp4", "old");
  EXPECT_EQ(platform::MoveFileNoReplace(root + "/a.mp4", root + "/Sub/a.mp4"), FileOperationResult::TargetExists);
  EXPECT_EQ(Bytes(root + "/Sub/a.mp4"), "old");
  EXPECT_EQ(platform::MoveWithoutCopy(root + "/a.mp4", root + "/Sub/A.MP4"), FileOperationResult::TargetExists);

  // Only the very file the user agreed to replace goes.
  const auto agreed = platform::IdentityOf(root + "/Sub/a.mp4");
  ASSERT_TRUE(agreed);
  EXPECT_NE(platform::IdentityOf(root + "/a.mp4"), agreed);
  Write(root + "/other.mp4", "other");
  EXPECT_EQ(platform::MoveFileReplacing(root + "/a.mp4", root + "/other.mp4", nullptr, agreed),
            FileOperationResult::OtherFile);
  EXPECT_EQ(Bytes(root + "/other.mp4"), "other");
  EXPECT_EQ(platform::MoveFileReplacing(root + "/a.mp4", root + "/Sub/a.mp4", nullptr, agreed), FileOperationResult::Done);
  EXPECT_EQ(Bytes(root + "/Sub/a.mp4"), "new");
  EXPECT_FALSE(platform::PathExists(root + "/a.mp4"));

  // A folder is neither replaced nor deleted.
  tree.Folder("Folder");
  EXPECT_EQ(platform::MoveFileReplacing(root + "/other.mp4", root + "/Folder"), FileOperationResult::TargetExists);
  EXPECT_EQ(platform::DeleteFileOnly(root + "/Folder"), FileOperationResult::Failed);
  EXPECT_TRUE(fs::is_directory(PathOf(root + "/Folder")));
  EXPECT_EQ(platform::DeleteFileOnly(root + "/other.mp4", agreed), FileOperationResult::OtherFile);
  EXPECT_EQ(platform::DeleteFileOnly(root + "/other.mp4"), FileOperationResult::Done);
  EXPECT_EQ(platform::DeleteFileOnly(root + "/other.mp4"), FileOperationResult::SourceMissing);
  EXPECT_EQ(platform::MoveFileNoReplace(root + "/Sub/a.mp4", root + "/Gone/a.mp4"), FileOperationResult::FolderMissing);
}

// R: is another disk: the file is copied whole under a hidden name beside
// its destination and only then named, or the move is called off with
// nothing left behind.
TEST(WindowsFileOperations, MovesAcrossDisksAreWholeOrNotAtAll) {
  TempTree tree;
  const std::string root = tree.RootString();
  const fs::path memory = MakeFolderOnAnotherDisk("sortiq-across-");
  const std::string there = PathText(memory);
  Write(there + "/clip.mp4", std::string(3 << 20, 'c'));
  EXPECT_EQ(platform::MoveWithoutCopy(there + "/clip.mp4", root + "/clip.mp4"), FileOperationResult::OtherDisk);
  Write(root + "/taken.mp4", "taken");
  EXPECT_EQ(platform::MoveFileNoReplace(there + "/clip.mp4", root + "/taken.mp4"), FileOperationResult::TargetExists);
  EXPECT_EQ(Bytes(root + "/taken.mp4"), "taken");
  std::atomic<bool> stop{true};
  EXPECT_EQ(platform::MoveFileNoReplace(there + "/clip.mp4", root + "/clip.mp4", &stop), FileOperationResult::Stopped);
  EXPECT_EQ(std::distance(fs::directory_iterator(tree.Root()), fs::directory_iterator()), 1);  // taken.mp4 alone
  stop = false;
  EXPECT_EQ(platform::MoveFileNoReplace(there + "/clip.mp4", root + "/clip.mp4", &stop), FileOperationResult::Done);
  EXPECT_EQ(Bytes(root + "/clip.mp4"), std::string(3 << 20, 'c'));
  EXPECT_FALSE(platform::PathExists(there + "/clip.mp4"));
  EXPECT_EQ(platform::MoveFileReplacing(root + "/clip.mp4", there + "/back.mp4"), FileOperationResult::Done);
  EXPECT_EQ(fs::file_size(memory / "back.mp4"), static_cast<uintmax_t>(3 << 20));

  // A read-only file (a camera's, a disc's) moves too, keeps its flag, and
  // leaves no copy behind.
  Write(there + "/locked.mp4", "locked");
  ASSERT_TRUE(SetFileAttributesW((memory / "locked.mp4").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(platform::MoveFileNoReplace(there + "/locked.mp4", root + "/locked.mp4"), FileOperationResult::Done);
  EXPECT_EQ(Bytes(root + "/locked.mp4"), "locked");
  EXPECT_TRUE(GetFileAttributesW(PathOf(root + "/locked.mp4").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(platform::PathExists(there + "/locked.mp4"));
  EXPECT_EQ(std::distance(fs::directory_iterator(tree.Root()), fs::directory_iterator()), 2);  // taken and locked
  SetFileAttributesW(PathOf(root + "/locked.mp4").c_str(), FILE_ATTRIBUTE_NORMAL);
  fs::remove_all(memory);
}

// A folder deeper than MAX_PATH is reached; a name with a lone surrogate
// (which Windows allows, where the disk does) is walked, shown with U+FFFD
// and still moved.
TEST(WindowsFileOperations, LongPathsAndNamesUnicodeCannotWrite) {
  TempTree tree;
  std::string deep = tree.RootString();
  while (deep.size() < 300) {
    deep += "/a folder with a long name";
    ASSERT_TRUE(platform::CreateFolder(deep)) << deep.size();
  }
  Write(tree.RootString() + "/clip.mp4", "clip");
  EXPECT_EQ(platform::MoveFileNoReplace(tree.RootString() + "/clip.mp4", deep + "/clip.mp4"), FileOperationResult::Done);
  EXPECT_EQ(Bytes(deep + "/clip.mp4"), "clip");
  EXPECT_EQ(platform::DeleteFileOnly(deep + "/clip.mp4"), FileOperationResult::Done);

  const std::wstring odd = tree.Root().wstring() + L"\\caf\xD800.mp4";
  HANDLE file = CreateFileW(odd.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) GTEST_SKIP() << "this disk takes no lone surrogates (Wine keeps names as UTF-8)";
  CloseHandle(file);
  FolderScanner scanner(false, true);
  scanner.Start(tree.RootString(), false);
  while (scanner.scanning) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  scanner.Join();
  std::vector<std::string> folders, files;
  std::vector<uint64_t> sizes;
  scanner.Collect(folders, files, &sizes);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ToUtf8(files[0]), tree.RootString() + "/caf\xEF\xBF\xBD.mp4");
  EXPECT_EQ(platform::MoveFileNoReplace(files[0], deep + "/moved.mp4"), FileOperationResult::Done);
  EXPECT_EQ(GetFileAttributesW(odd.c_str()), INVALID_FILE_ATTRIBUTES);
}

// A file sent to the Recycle Bin comes back from it whole; where the bin
// will not take it, the file stays as it was.
TEST(WindowsTrash, ComesBackWholeOrStaysWhereItWas) {
  TempTree tree;
  const std::string clip = tree.RootString() + "/clip.mp4";
  Write(clip, "clip bytes");
  std::optional<platform::TrashEntry> entry;
  const FileOperationResult result = platform::MoveToTrash(clip, platform::IdentityOf(clip), entry);
  if (result != FileOperationResult::Done) {
    EXPECT_TRUE(result == FileOperationResult::NoTrash || result == FileOperationResult::TrashBroken);
    EXPECT_EQ(Bytes(clip), "clip bytes");
    GTEST_SKIP() << "this system's Recycle Bin takes no files here";
  }
  EXPECT_FALSE(platform::PathExists(clip));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->originalPath, clip);
  Write(clip, "another");
  EXPECT_EQ(platform::RestoreFromTrash(*entry), FileOperationResult::TargetExists);
  EXPECT_EQ(platform::DeleteFileOnly(clip), FileOperationResult::Done);
  EXPECT_EQ(platform::RestoreFromTrash(*entry), FileOperationResult::Done);
  EXPECT_EQ(Bytes(clip), "clip bytes");
}

// The settings are DWORD values under the program's key of the current
// user, read back as the registry holds them.
TEST(WindowsSettings, ValuesAreDwordsUnderTheProgramsKey) {
  ForgetSettings();
  EXPECT_EQ(platform::ReadStoredValue("FontSize"), "");
  ASSERT_TRUE(platform::WriteStoredValue("FontSize", "3"));
  DWORD value = 0, size = sizeof value;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Brackenfold\\quillmere", L"FontSize", RRF_RT_REG_DWORD, nullptr,
                         &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 3u);
  const DWORD written = 17;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Brackenfold\\quillmere", L"ScrollbarSize", REG_DWORD, &written,
                  sizeof written);
  EXPECT_EQ(platform::ReadStoredValue("ScrollbarSize"), "17");
  // Of a list of strings, the first; another type reads as missing.
  const wchar_t list[] = L"4\0" L"1\0";
  RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Brackenfold\\quillmere", L"FontSize", REG_MULTI_SZ, list, sizeof list);
  EXPECT_EQ(platform::ReadStoredValue("FontSize"), "4");
  const uint64_t wide = 3;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Brackenfold\\quillmere", L"FontSize", REG_QWORD, &wide, sizeof wide);
  EXPECT_EQ(platform::ReadStoredValue("FontSize"), "");
  ForgetSettings();
}
