// Moves and deletions on real folders: nothing is ever replaced, a move
// across file systems keeps the file whole (bytes, time, permission bits)
// or leaves the source as it was, and a deletion never takes a folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "platform/file_operations.h"
#include "file_work.h"
#include "small_disk.h"
#include "temp_tree.h"

namespace fs = std::filesystem;
using platform::FileOperationResult;

namespace {


std::string RandomBytes(size_t size) {
  std::mt19937 random(7);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// A folder on another file system than the temporary trees (a RAM disk).
class RamFolder {
 public:
  RamFolder() {
    char pattern[] = "/dev/shm/sortiq-ram-XXXXXX";
    if (::mkdtemp(pattern)) path = pattern;
  }
  ~RamFolder() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
  fs::path path;
};

bool OnAnotherFileSystem(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev != sb.st_dev;
}

// Leftovers of an interrupted copy in a folder.
int TemporaryFilesIn(const fs::path& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".sortiq-move-", 0) == 0) ++count;
  return count;
}

}  // namespace

TEST(FileOperations, MovesAndRenamesNeverReplace) {
  TempTree tree;
  const fs::path root = tree.Root();
  fs::create_directory(root / "Sub");
  Write(root / "clip.mp4", "clip");
  Write(root / "Sub/clip.mp4", "already there");
  Write(root / "other.mp4", "other");

  // Onto an existing file: refused, both as they were.
  EXPECT_EQ(platform::MoveFileNoReplace(root / "clip.mp4", root / "Sub/clip.mp4"), FileOperationResult::TargetExists);
  EXPECT_EQ(platform::MoveFileNoReplace(root / "clip.mp4", root / "other.mp4"), FileOperationResult::TargetExists);
  EXPECT_EQ(Bytes(root / "clip.mp4"), "clip");
  EXPECT_EQ(Bytes(root / "Sub/clip.mp4"), "already there");
  EXPECT_EQ(Bytes(root / "other.mp4"), "other");
  // Onto an existing folder, or into a folder that is not there: refused.
  EXPECT_NE(platform::MoveFileNoReplace(root / "clip.mp4", root / "Sub"), FileOperationResult::Done);
  EXPECT_EQ(platform::MoveFileNoReplace(root / "clip.mp4", root / "Gone/clip.mp4"), FileOperationResult::FolderMissing);
  EXPECT_EQ(platform::MoveFileNoReplace(root / "missing.mp4", root / "Sub/m.mp4"), FileOperationResult::SourceMissing);
  EXPECT_EQ(Bytes(root / "clip.mp4"), "clip");

  // A name that is not UTF-8 moves and comes back byte for byte.
  const std::string odd = std::string("bad\xff\xfe name.mp4");
  Write(root / odd, "odd");
  EXPECT_EQ(platform::MoveFileNoReplace(root / odd, root / "Sub" / odd), FileOperationResult::Done);
  EXPECT_EQ(Bytes(root / "Sub" / odd), "odd");
  EXPECT_EQ(platform::MoveFileNoReplace(root / "Sub" / odd, root / odd), FileOperationResult::Done);
  EXPECT_EQ(Bytes(root / odd), "odd");
  EXPECT_FALSE(fs::exists(root / "Sub" / odd));
}

TEST(FileOperations, DeletionTakesFilesAndLinksNeverFolders) {
  TempTree tree;
  const fs::path root = tree.Root();
  fs::create_directory(root / "Folder");
  Write(root / "Folder/kept.mp4", "kept");
  fs::create_directory(root / "Empty");
  Write(root / "target.mp4", "target");
  fs::create_symlink(root / "target.mp4", root / "link.mp4");
  Write(root / std::string("bad\xff.mp4"), "x");

  EXPECT_EQ(platform::DeleteFileOnly(root / "Folder"), FileOperationResult::Failed);
  EXPECT_EQ(platform::DeleteFileOnly(root / "Empty"), FileOperationResult::Failed);
  EXPECT_TRUE(fs::exists(root / "Folder/kept.mp4"));
  EXPECT_TRUE(fs::is_directory(root / "Empty"));
  EXPECT_EQ(platform::DeleteFileOnly(root / "link.mp4"), FileOperationResult::Done);
  EXPECT_EQ(Bytes(root / "target.mp4"), "target");  // the link went, not what it pointed to
  EXPECT_EQ(platform::DeleteFileOnly(root / std::string("bad\xff.mp4")), FileOperationResult::Done);
  EXPECT_EQ(platform::DeleteFileOnly(root / "missing.mp4"), FileOperationResult::SourceMissing);
  EXPECT_FALSE(fs::exists(root / std::string("bad\xff.mp4")));

  // Only the file chosen: another one given its name since stays.
  const auto chosen = platform::IdentityOf(root / "target.mp4");
  ASSERT_TRUE(chosen.has_value());
  Write(root / "newer.mp4", "newer");
  fs::rename(root / "newer.mp4", root / "target.mp4");
  EXPECT_EQ(platform::DeleteFileOnly(root / "target.mp4", chosen), FileOperationResult::OtherFile);
  EXPECT_EQ(Bytes(root / "target.mp4"), "newer");
  EXPECT_EQ(platform::DeleteFileOnly(root / "target.mp4", platform::IdentityOf(root / "target.mp4")),
            FileOperationResult::Done);
}

TEST(FileOperations, MoveAcrossFileSystemsKeepsBytesTimeAndPermissions) {
  TempTree tree;
  RamFolder ram;
  ASSERT_FALSE(ram.path.empty());
  if (!OnAnotherFileSystem(tree.Root(), ram.path)) GTEST_SKIP() << "/dev/shm is on the same file system here";
  const fs::path source = tree.Root() / "big clip.mp4";
  const std::string bytes = RandomBytes(5 << 20);
  Write(source, bytes);
  ::chmod(source.c_str(), 0640);
  const struct timespec times[2] = {{1000000000, 0}, {1000000000, 123456789}};  // 2001-09-09
  ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
  fs::create_symlink("big clip.mp4", tree.Root() / "link.mp4");

  const fs::path destination = ram.path / "big clip.mp4";
  ASSERT_EQ(platform::MoveFileNoReplace(source, destination), FileOperationResult::Done);
  EXPECT_FALSE(fs::exists(source));
  EXPECT_EQ(Bytes(destination), bytes);
  struct stat moved {};
  ASSERT_EQ(::stat(destination.c_str(), &moved), 0);
  EXPECT_EQ(moved.st_mode & 07777, 0640u);
  EXPECT_EQ(moved.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(moved.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(TemporaryFilesIn(ram.path), 0);

  // A link goes as a link; a file back onto a taken name does not go.
  ASSERT_EQ(platform::MoveFileNoReplace(tree.Root() / "link.mp4", ram.path / "link.mp4"), FileOperationResult::Done);
  EXPECT_EQ(fs::read_symlink(ram.path / "link.mp4"), "big clip.mp4");
  Write(source, "new one");
  EXPECT_EQ(platform::MoveFileNoReplace(destination, source), FileOperationResult::TargetExists);
  EXPECT_EQ(Bytes(source), "new one");
  EXPECT_EQ(Bytes(destination), bytes);
  EXPECT_EQ(TemporaryFilesIn(tree.Root()), 0);
}

// Failures in the middle of a copy, made by the kernel: a file size limit
// (the copy stops after 1 MB, as on a full disk), and a destination folder
// the user may not write to. The source stays whole; nothing is left behind.
TEST(FileOperations, MoveAcrossThatFailsLeavesTheSourceWhole) {
  TempTree tree;
  RamFolder ram;
  ASSERT_FALSE(ram.path.empty());
  if (!OnAnotherFileSystem(tree.Root(), ram.path)) GTEST_SKIP() << "/dev/shm is on the same file system here";
  const fs::path source = tree.Root() / "clip.mp4";
  const std::string bytes = RandomBytes(5 << 20);
  Write(source, bytes);
  ::chmod(tree.Root().c_str(), 0777);
  ::chmod(source.c_str(), 0666);
  const fs::path locked = ram.path / "Locked";
  fs::create_directory(locked);
  ::chmod(locked.c_str(), 0755);

  const auto moveInChild = [&](const fs::path& destination, bool limitSize, bool asNobody) {
    const pid_t child = ::fork();
    if (child == 0) {
      if (limitSize) {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      if (asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
      ::_exit(static_cast<int>(platform::MoveFileNoReplace(source, destination)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  EXPECT_EQ(moveInChild(ram.path / "clip.mp4", true, false), static_cast<int>(FileOperationResult::TooLarge));
  EXPECT_FALSE(fs::exists(ram.path / "clip.mp4"));
  EXPECT_EQ(TemporaryFilesIn(ram.path), 0);
  EXPECT_EQ(Bytes(source), bytes);

  if (::geteuid() == 0) {  // only root can become another user; root itself may write anywhere
    EXPECT_EQ(moveInChild(locked / "clip.mp4", false, true), static_cast<int>(FileOperationResult::NoPermission));
    EXPECT_FALSE(fs::exists(locked / "clip.mp4"));
    EXPECT_EQ(TemporaryFilesIn(locked), 0);
    EXPECT_EQ(Bytes(source), bytes);
  }
}

// Overwriting, as the user asked for it: the old file goes only as the new
// one takes its place. A folder is never replaced; a copy across file
// systems that fails leaves both files whole.
TEST(FileOperations, ReplacingTakesTheOldPlaceOnlyWhenTheMoveIsDone) {
  TempTree tree;
  const fs::path root = tree.Root();
  fs::create_directory(root / "Sub");
  fs::create_directory(root / "Sub/folder.mp4");
  Write(root / "clip.mp4", "new");
  Write(root / "Sub/clip.mp4", "old");
  EXPECT_EQ(platform::MoveFileReplacing(root / "clip.mp4", root / "Sub/clip.mp4"), FileOperationResult::Done);
  EXPECT_EQ(Bytes(root / "Sub/clip.mp4"), "new");
  EXPECT_FALSE(fs::exists(root / "clip.mp4"));
  Write(root / "folder.mp4", "file");
  EXPECT_EQ(platform::MoveFileReplacing(root / "folder.mp4", root / "Sub/folder.mp4"), FileOperationResult::TargetExists);
  EXPECT_TRUE(fs::is_directory(root / "Sub/folder.mp4"));
  EXPECT_EQ(Bytes(root / "folder.mp4"), "file");

  RamFolder ram;
  ASSERT_FALSE(ram.path.empty());
  if (!OnAnotherFileSystem(root, ram.path)) GTEST_SKIP() << "/dev/shm is on the same file system here";
  const std::string bytes = RandomBytes(3 << 20);
  Write(root / "big.mp4", bytes);
  Write(ram.path / "big.mp4", "old big");
  // Cut off after 1 MB by a file size limit, as on a full disk.
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(static_cast<int>(platform::MoveFileReplacing(root / "big.mp4", ram.path / "big.mp4")));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(FileOperationResult::TooLarge));
  EXPECT_EQ(Bytes(ram.path / "big.mp4"), "old big");
  EXPECT_EQ(Bytes(root / "big.mp4"), bytes);
  EXPECT_EQ(TemporaryFilesIn(ram.path), 0);
  EXPECT_EQ(platform::MoveFileReplacing(root / "big.mp4", ram.path / "big.mp4"), FileOperationResult::Done);
  EXPECT_EQ(Bytes(ram.path / "big.mp4"), bytes);
  EXPECT_FALSE(fs::exists(root / "big.mp4"));
}

namespace {

std::string Attribute(const fs::path& path, const char* name) {
  std::string value(4096, '\0');
  const ssize_t length = ::getxattr(path.c_str(), name, value.data(), value.size());
  return length < 0 ? std::string("<none>") : value.substr(0, static_cast<size_t>(length));
}

// An access list giving user 1234 read access, as the kernel stores it.
std::string AccessList() {
  std::string bytes;
  const auto put16 = [&](uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
  const auto put32 = [&](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
  put32(2);
  const struct { uint16_t tag, perm; uint32_t id; } entries[] = {
      {0x01, 6, ~0u}, {0x02, 4, 1234}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  for (const auto& entry : entries) {
    put16(entry.tag);
    put16(entry.perm);
    put32(entry.id);
  }
  return bytes;
}

}  // namespace

// Across file systems, the copy is the file: tags, origin and access list,
// holes, or no move at all: a file still being written, a stop asked for,
// a disk too small, a kill in the middle. Nothing is ever left behind.
TEST(FileOperations, MoveAcrossIsFaithfulOrLeavesEverythingAsItWas) {
  TempTree tree;
  RamFolder ram;
  ASSERT_FALSE(ram.path.empty());
  if (!OnAnotherFileSystem(tree.Root(), ram.path)) GTEST_SKIP() << "/dev/shm is on the same file system here";

  // Attributes and holes: 64 MB with 8 KB of data in two places.
  const fs::path sparse = tree.Root() / "sparse.mkv";
  {
    const int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
    ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
    ASSERT_EQ(::pwrite(fd, "middle", 6, 32 << 20), 6);
    ::close(fd);
  }
  ASSERT_EQ(::setxattr(sparse.c_str(), "user.xdg.tags", "holiday,beach", 13, 0), 0);
  ASSERT_EQ(::setxattr(sparse.c_str(), "user.xdg.origin.url", "https://example.org/v", 21, 0), 0);
  const std::string acl = AccessList();
  ASSERT_EQ(::setxattr(sparse.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
  const fs::path moved = ram.path / "sparse.mkv";
  ASSERT_EQ(platform::MoveFileNoReplace(sparse, moved), FileOperationResult::Done);
  EXPECT_FALSE(fs::exists(sparse));
  EXPECT_EQ(Attribute(moved, "user.xdg.tags"), "holiday,beach");
  EXPECT_EQ(Attribute(moved, "user.xdg.origin.url"), "https://example.org/v");
  EXPECT_EQ(Attribute(moved, "system.posix_acl_access"), acl);
  struct stat copied {};
  ASSERT_EQ(::stat(moved.c_str(), &copied), 0);
  EXPECT_EQ(copied.st_size, 64 << 20);
  EXPECT_LT(copied.st_blocks * 512, 1 << 20) << "holes were written out";
  const std::string bytes = Bytes(moved);
  EXPECT_EQ(bytes.substr(0, 4), "head");
  EXPECT_EQ(bytes.substr(32 << 20, 6), "middle");
  EXPECT_EQ(bytes.find_first_not_of('\0', 4), static_cast<size_t>(32 << 20));

  // A download still being written: the copy is dropped, the file stays whole.
  const fs::path growing = ram.path / "download.mp4";
  Write(growing, RandomBytes(32 << 20));
  std::atomic<bool> moving{true};
  std::thread writer([&] {
    std::ofstream out(growing, std::ios::binary | std::ios::app);
    while (moving.load()) {
      out << 'x' << std::flush;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  const FileOperationResult grown = platform::MoveFileNoReplace(growing, tree.Root() / "download.mp4");
  moving = false;
  writer.join();
  EXPECT_EQ(grown, FileOperationResult::Changed);
  EXPECT_GT(fs::file_size(growing), static_cast<uintmax_t>(32 << 20));
  EXPECT_FALSE(fs::exists(tree.Root() / "download.mp4"));

  // A stop asked for: nothing happens.
  const std::atomic<bool> stop{true};
  EXPECT_EQ(platform::MoveFileNoReplace(growing, tree.Root() / "download.mp4", &stop), FileOperationResult::Stopped);
  EXPECT_TRUE(fs::exists(growing));
  EXPECT_FALSE(fs::exists(tree.Root() / "download.mp4"));

  // Killed in the middle of a big copy: no copy under any name, hidden or not.
  const fs::path big = ram.path / "big.mp4";
  Write(big, std::string(160 << 20, 'b'));
  const pid_t child = ::fork();
  if (child == 0) ::_exit(static_cast<int>(platform::MoveFileNoReplace(big, tree.Root() / "big.mp4")));
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(TemporaryFilesIn(tree.Root()), 0);
  if (!fs::exists(tree.Root() / "big.mp4")) {
    EXPECT_EQ(fs::file_size(big), static_cast<uintmax_t>(160 << 20));
  }

  // A disk too small: refused at once, before any copying.
  SmallDisk small(tree.Root() / "Small", 1 << 20);
  if (!small.mounted) GTEST_SKIP() << SmallDisk::kWhyNot;
  EXPECT_EQ(platform::MoveFileNoReplace(growing, small.path / "download.mp4"), FileOperationResult::NoSpace);
  EXPECT_TRUE(fs::exists(growing));
  EXPECT_TRUE(fs::is_empty(small.path));
}
