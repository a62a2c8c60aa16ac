#pragma once
// What the tests need of the system they run on, said once: paths as the
// program writes them (UTF-8, "/"), private temporary folders, environment
// variables.
#include <filesystem>
#include <string>

// A path as the program writes it: UTF-8 with "/" between its parts.
std::string PathText(const std::filesystem::path& path);
// The file-system path of such a text.
std::filesystem::path PathOf(const std::string& text);
// A fresh, empty folder under the system's temporary folder.
std::filesystem::path MakeTempFolder(const std::string& prefix);
// Every stored setting gone, as on a first start.
void ForgetSettings();
// Processor time this process has used, user and system.
double ProcessCpuSeconds();
// A symbolic link at `link` to `target` (as written: relative to the
// link's folder, or full); false where the system will not make one.
bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link, bool toFolder);
void SetEnvironment(const std::string& name, const std::string& value);
int ProcessNumber();
// A fresh folder on another disk than the temporary folder's (memory on
// Linux; under Wine the drive R:, which the test runner maps to memory).
std::filesystem::path MakeFolderOnAnotherDisk(const std::string& prefix);

// A piece of a file name the program cannot show as it is, and what it shows
// instead: on Linux a byte that is not UTF-8. Windows names are UTF-16, and
// their odd piece, a lone surrogate, Wine's disks refuse: there a letter
// outside ASCII stands in, shown as itself.
extern const std::string kOddNamePiece, kOddNamePieceShown;

// The desktop trash the tests read what was deleted from: the freedesktop
// one in the tests' own data home. Empty on Windows, whose Recycle Bin is
// the shell's to list.
std::filesystem::path ReadableTrash();
// Whether deletions here can go to the trash at all. Wine's shell has no
// Recycle Bin operation: under it a deletion can only be for good.
bool TrashTakesFiles();
// Whether this is a Windows build running under Wine rather than Windows.
bool UnderWine();
inline constexpr const char* kNoTrashHere = "this system's trash takes no files here";
