// The system's fonts going wrong: a machine without fonts, and a font that
// can no longer be read. Each test runs in a process of its own (the
// system's font configuration is read once per process), with a font
// configuration it writes itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "gui_harness.h"
#include "kit/fonts.h"
#include "kit/glyph_supply.h"
#include "kit/widgets.h"
#include "platform/system_fonts.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFonts = "/usr/share/fonts/truetype/noto";

class SystemFontsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("sortiq-fonts-" + std::to_string(::getpid()));
    fs::create_directories(folder / "fonts");
    fs::create_directories(folder / "cache");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  // The font configuration of this process: only the given folder, if any.
  void UseFontConfiguration(bool withFolder) {
    const fs::path file = folder / "fonts.conf";
    std::ofstream conf(file);
    conf << "<?xml version=\"1.0\"?>\n<fontconfig>\n";
    if (withFolder) conf << "  <dir>" << (folder / "fonts").string() << "</dir>\n";
    conf << "  <cachedir>" << (folder / "cache").string() << "</cachedir>\n</fontconfig>\n";
    conf.close();
    ::setenv("FONTCONFIG_FILE", file.c_str(), 1);
  }
  std::string DrawUntilAnswered(const std::string& name) {
    const std::function<void()> body = [&] { TextKeepingItsEnd(name); };
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int quiet = 0;
    while (std::chrono::steady_clock::now() < end && quiet < 40) {
      gui.Frame(body);
      quiet = GlyphSupply::Busy() ? 0 : quiet + 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(quiet, 40) << "the glyph worker never answered";
    return gui.WindowText("##TestWindow");
  }

  fs::path folder;
  GuiHarness gui;
};

TEST_F(SystemFontsTest, WithoutFontsNamesShowReplacementCharactersAndTheProgramsOwnLetters) {
  UseFontConfiguration(false);
  EXPECT_TRUE(platform::FontFacesCovering(U'語', 3).empty());
  // Greek is in the program's own text font; the rest has no font here.
  EXPECT_EQ(DrawUntilAnswered("日本語 Ελλάδα 한"), "\uFFFD\uFFFD\uFFFDΕλλάδα\uFFFD");
}

TEST_F(SystemFontsTest, AFontThatCanNoLongerBeReadIsPassedOver) {
  fs::copy_file(kFonts / "NotoSansHebrew-Regular.ttf", folder / "fonts" / "Hebrew.ttf");
  fs::copy_file(kFonts / "NotoSansThai-Regular.ttf", folder / "fonts" / "Thai.ttf");
  UseFontConfiguration(true);
  const auto faces = platform::FontFacesCovering(U'א', 3);
  ASSERT_EQ(faces.size(), 1u);
  EXPECT_EQ(fs::path(faces[0].path), folder / "fonts" / "Hebrew.ttf");
  // The file is cut short after the system listed it.
  fs::resize_file(folder / "fonts" / "Hebrew.ttf", fs::file_size(folder / "fonts" / "Hebrew.ttf") / 2);
  EXPECT_EQ(DrawUntilAnswered("עברית ไทย"), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDไทย");
}

}  // namespace
