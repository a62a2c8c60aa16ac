#include <gtest/gtest.h>
#include <imgui.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "kit/fonts.h"
#include "kit/settings.h"
#include "platform/settings_file.h"
#include "platform/settings_store.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(file.parent_path());
    ImGui::CreateContext();
  }
  void TearDown() override {
    ImGui::DestroyContext();
    std::error_code ignored;
    std::filesystem::permissions(file.parent_path(), std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(file.parent_path(), ignored);
  }
  void Store(const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }
  std::string Stored() {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const std::filesystem::path file = platform::SettingsFilePath();
};

}  // namespace

TEST_F(SettingsTest, FirstStartCreatesTheFileAndGivesDefaults) {
  EXPECT_EQ(ReadSettingText("FontSize"), "0");
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(Stored(), "");
  EXPECT_EQ(FontSizeIndexFromText(ReadSettingText("FontSize")), 0);
  EXPECT_EQ(LoadScrollbarSize(), 12.0f);
  SkipConfirmations = true;
  LoadSkipMessageBoxPopup();
  EXPECT_FALSE(SkipConfirmations);
  // Deleted files go to the trash until the user says otherwise, and that stays.
  MoveDeletedFilesToTrash = false;
  LoadMoveDeletedFilesToTrash();
  EXPECT_TRUE(MoveDeletedFilesToTrash);
  MoveDeletedFilesToTrash = false;
  SaveMoveDeletedFilesToTrash();
  MoveDeletedFilesToTrash = true;
  LoadMoveDeletedFilesToTrash();
  EXPECT_FALSE(MoveDeletedFilesToTrash);
  EXPECT_EQ(Stored(), "MoveDeletedFilesToTrash=0\n");
  MoveDeletedFilesToTrash = true;
}

TEST_F(SettingsTest, ReadRulesFollowAtolAndTheRanges) {
  EXPECT_EQ(FontSizeIndexFromText("3"), 3);
  EXPECT_EQ(FontSizeIndexFromText(" 5"), 5);
  EXPECT_EQ(FontSizeIndexFromText("7"), 2);
  EXPECT_EQ(FontSizeIndexFromText("-1"), 2);
  EXPECT_EQ(FontSizeIndexFromText("4abc"), 4);
  EXPECT_EQ(FontSizeIndexFromText("large"), 0);
  EXPECT_EQ(ScrollbarSizeFromText("100"), 24.0f);
  EXPECT_EQ(ScrollbarSizeFromText("5"), 12.0f);
  EXPECT_EQ(ScrollbarSizeFromText("-1"), 24.0f);
  EXPECT_EQ(ScrollbarSizeFromText("16"), 16.0f);
  EXPECT_FALSE(SkipConfirmationsFromText("yes"));
  EXPECT_TRUE(SkipConfirmationsFromText("2"));
  EXPECT_TRUE(SkipConfirmationsFromText("-1"));
  EXPECT_TRUE(MoveToTrashFromText("yes"));  // garbled: files stay safe
  EXPECT_FALSE(MoveToTrashFromText(" 0"));
}

TEST_F(SettingsTest, WritesAreImmediateAtomicAndKeepOtherValues) {
  Store("Other=kept\nFontSize=1\n");
  SaveFontSize(4);
  EXPECT_EQ(FontSizeRequested, 4);
  SaveScrollbarSize(24.0f);
  EXPECT_EQ(ImGui::GetStyle().ScrollbarSize, 24.0f);
  SkipConfirmations = true;
  SaveSkipMessageBoxPopup();
  SkipConfirmations = false;
  SaveSkipMessageBoxPopup();
  EXPECT_EQ(Stored(), "Other=kept\nFontSize=4\nScrollbarSize=24\nSkipMessageBoxPopup=0\n");
  // Read back as a restart would.
  EXPECT_EQ(FontSizeIndexFromText(ReadSettingText("FontSize")), 4);
  EXPECT_EQ(LoadScrollbarSize(), 24.0f);
  // No temporary file is left behind.
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(file.parent_path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(SettingsTest, DamagedFileGivesDefaults) {
  Store(std::string("\x00\xFF\xFE garbage\nFontSize\nScrollbarSize==\r\nFontSize=\x01\x02\n", 44));
  EXPECT_EQ(FontSizeIndexFromText(ReadSettingText("FontSize")), 0);
  EXPECT_EQ(LoadScrollbarSize(), 12.0f);
  Store("FontSize=" + std::string(2000, '3') + "\n");  // longer than a value may be
  EXPECT_EQ(ReadSettingText("FontSize"), "0");
  Store("ScrollbarSize=20\r\n");  // written on another system
  EXPECT_EQ(LoadScrollbarSize(), 20.0f);
}

TEST_F(SettingsTest, UnwritableStoreKeepsTheProgramGoing) {
  std::filesystem::create_directories(file);  // a folder where the file should be
  EXPECT_EQ(ReadSettingText("FontSize"), "0");
  SaveScrollbarSize(20.0f);  // lost, but applies for this run
  EXPECT_EQ(ImGui::GetStyle().ScrollbarSize, 20.0f);
  EXPECT_EQ(LoadScrollbarSize(), 12.0f);
  // A font size that could not be stored falls back to the stored one.
  SaveFontSize(5);
  ImGui::GetIO().Fonts->Clear();
  LoadFonts();
  EXPECT_EQ(FontSizeApplied, 0);
  EXPECT_EQ(FontSizeRequested, 0);
}

// A FIFO (nobody writing), a device or a huge file at the settings path:
// start-up neither blocks nor reads it, the defaults apply, and the file
// stays as it was, also when a setting changes.
TEST_F(SettingsTest, SpecialOrHugeFilesAreNeitherWaitedOnNorReplaced) {
  std::filesystem::create_directories(file.parent_path());
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(LoadScrollbarSize(), 12.0f);
  SaveScrollbarSize(20.0f);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(std::filesystem::is_fifo(file));
  std::filesystem::remove(file);
  Store("ScrollbarSize=20\n" + std::string(100 * 1024, '#') + "\n");
  EXPECT_EQ(LoadScrollbarSize(), 12.0f);
  SaveScrollbarSize(16.0f);
  EXPECT_EQ(std::filesystem::file_size(file), 17u + 100 * 1024 + 1);  // untouched
}

// A settings file that is a link to one kept elsewhere (dotfiles): read
// through the link and written where it points; the link stays.
TEST_F(SettingsTest, LinkedFileIsWrittenWhereItPoints) {
  std::filesystem::create_directories(file.parent_path());
  const auto kept = file.parent_path() / "kept-elsewhere";
  std::ofstream(kept) << "ScrollbarSize=20\n";
  std::filesystem::create_symlink(kept, file);
  EXPECT_EQ(LoadScrollbarSize(), 20.0f);
  SaveScrollbarSize(16.0f);
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  std::ifstream in(kept);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "ScrollbarSize=16\n");
}
