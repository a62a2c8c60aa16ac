#include <gtest/gtest.h>

#include "kit/path_text.h"
#include "kit/text.h"
#include "kit/text_filter.h"
#include "platform/path_syntax.h"

#include <cstdio>

TEST(ToUtf8, ValidTextPassesUnchanged) {
  EXPECT_EQ(ToUtf8(""), "");
  EXPECT_EQ(ToUtf8("/media/a b,c%d.mp4"), "/media/a b,c%d.mp4");
  EXPECT_EQ(ToUtf8("/фильмы/日本語/😀.mkv"), "/фильмы/日本語/😀.mkv");
}

TEST(ToUtf8, IllFormedSequencesBecomeReplacementCharacters) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(ToUtf8("a\xFF" "b"), "a" + fffd + "b");                 // never valid byte
  EXPECT_EQ(ToUtf8("caf\xE9.mp3"), "caf" + fffd + ".mp3");           // Latin-1 name
  EXPECT_EQ(ToUtf8("\xC0\xAF"), fffd + fffd);                        // overlong "/"
  EXPECT_EQ(ToUtf8("\xED\xA0\x80"), fffd + fffd + fffd);             // encoded surrogate
  EXPECT_EQ(ToUtf8("x\xE2\x82"), "x" + fffd);                        // truncated at the end: one mark
  EXPECT_EQ(ToUtf8("\xE2\x82" "A"), fffd + "A");                     // truncated before ASCII
  EXPECT_EQ(ToUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);  // above U+10FFFF
  EXPECT_EQ(ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Text, OneLineShowsControlCharactersAsReplacements) {
  EXPECT_EQ(OneLine("first\nsecond\tthird\x7f.mp4"), "first\xEF\xBF\xBDsecond\xEF\xBF\xBDthird\xEF\xBF\xBD.mp4");
  EXPECT_EQ(OneLine("Ünïcode 100%.mp4"), "Ünïcode 100%.mp4");
}

// Filter boxes: terms in any script find their own letters, ASCII letters
// in either case; excluding terms work the same way.
TEST(FilterBoxes, TermsInAnyScriptFindTheirOwnLetters) {
  const auto passes = [](const char* terms, const char* text) {
    ImGuiTextFilter filter;
    std::snprintf(filter.InputBuf, sizeof filter.InputBuf, "%s", terms);
    filter.Build();
    return FilterPasses(filter, text);
  };
  EXPECT_TRUE(passes("видео", "/m/Моё видео.mp4"));
  EXPECT_TRUE(passes("タイ", "/m/タイトル [dQw4w9WgXcQ].mp4"));
  EXPECT_TRUE(passes("о", "/m/Кошка.mp4"));
  EXPECT_FALSE(passes("Видео", "/m/видео.mp4"));  // only ASCII letters fold
  EXPECT_TRUE(passes("DQW4", "/m/タイトル [dQw4w9WgXcQ].mp4"));
  EXPECT_TRUE(passes("éé", "/m/éé.mp4"));
  EXPECT_FALSE(passes("mp4,-猫", "/m/猫.mp4"));
  EXPECT_TRUE(passes("mp4,-猫", "/m/犬.mp4"));
  EXPECT_FALSE(passes("ไทย", "/m/เพลง.mp3"));
}

#ifndef _WIN32
TEST(PathText, TypedPathsAreMadeFullAndNormal) {
  EXPECT_EQ(NormalFullPath("/home/me/../you/./clips//"), "/home/you/clips");
  EXPECT_EQ(NormalFullPath("/.."), "/");
  EXPECT_EQ(NormalFullPath("/a/b/../../.."), "/");
  EXPECT_EQ(NormalFullPath("/a/..b/c.."), "/a/..b/c..");  // names that only start or end with dots
  EXPECT_EQ(NormalFullPath("home/me"), std::nullopt);
  EXPECT_EQ(NormalFullPath(""), std::nullopt);
  EXPECT_EQ(ParentFolder("/home/me"), "/home");
  EXPECT_EQ(ParentFolder("/home"), "/");
  EXPECT_EQ(ParentFolder("/"), "/");
  EXPECT_EQ(JoinPath("/", "home"), "/home");
  EXPECT_EQ(JoinPath("/home", "me"), "/home/me");
}
#else
// Windows paths start at a drive or a share, may be typed with "\", and
// the system refuses more names (which it would otherwise change or take
// for devices).
TEST(PathText, WindowsRootsSeparatorsAndNames) {
  EXPECT_EQ(NormalFullPath("c:\\Users\\me\\..\\you\\"), "c:/Users/you");
  EXPECT_EQ(NormalFullPath("C:"), "C:/");
  EXPECT_EQ(NormalFullPath("C:/.."), "C:/");
  EXPECT_EQ(NormalFullPath("C:clip"), std::nullopt);  // relative to the drive's current folder
  EXPECT_EQ(NormalFullPath("/home"), std::nullopt);
  EXPECT_EQ(NormalFullPath("//server/share/a/../b"), "//server/share/b");
  EXPECT_EQ(NormalFullPath("\\\\server\\share"), "//server/share/");
  EXPECT_EQ(NormalFullPath("//server"), std::nullopt);
  EXPECT_EQ(ParentFolder("C:/clips"), "C:/");
  EXPECT_EQ(ParentFolder("C:/"), "C:/");
  EXPECT_EQ(ParentFolder("//server/share/x"), "//server/share/");
  EXPECT_TRUE(IsRoot("C:/"));
  EXPECT_TRUE(IsRoot("//server/share/"));
  EXPECT_FALSE(IsRoot("C:/x"));
  for (const char* refused : {"a:b", "a\\b", "what?", "x*", "\"q\"", "<a>", "a|b", "dot.", "space ", "CON", "nul.txt",
                              "Com1", "lpt9.mp4", "aux .mp4", "a\tb", "COM\u00b2.mp4", "conout$"})
    EXPECT_FALSE(platform::IsAllowedName(refused)) << refused;
  for (const char* fine : {"CONSOLE", "com0", "COM10", ".hidden", "a.b", "Ünï", "con-cert.mp4"})
    EXPECT_TRUE(platform::IsAllowedName(fine)) << fine;
}
#endif
