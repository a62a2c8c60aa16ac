#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
  // Every test run keeps its settings, and its trash, in a private folder,
  // never the user's.
  const auto config = std::filesystem::temp_directory_path() / ("sortiq-test-config-" + std::to_string(::getpid()));
  std::filesystem::create_directories(config / "data");
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (config / "data").c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  return result;
}
