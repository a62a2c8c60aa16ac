#include <gtest/gtest.h>

#include <filesystem>

#include "test_system.h"

#ifdef _WIN32
#include <windows.h>

// The settings live in the current user's registry: this run's go under a
// key of its own, which stands in for the user's whole hive.
class PrivateRegistry {
 public:
  PrivateRegistry() {
    key = L"Software\\SortiqTests\\" + std::to_wstring(ProcessNumber());
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hive, nullptr) ==
        ERROR_SUCCESS)
      RegOverridePredefKey(HKEY_CURRENT_USER, hive);
  }
  ~PrivateRegistry() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (hive) RegCloseKey(hive);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  }

 private:
  std::wstring key;
  HKEY hive = nullptr;
};
#endif

int main(int argc, char** argv) {
  // Every test run keeps its settings, and its trash, in a private place,
  // never the user's.
  const auto config = MakeTempFolder("sortiq-test-config-");
  std::filesystem::create_directories(config / "data");
  SetEnvironment("XDG_CONFIG_HOME", PathText(config));
  SetEnvironment("XDG_DATA_HOME", PathText(config / "data"));
#ifdef _WIN32
  PrivateRegistry registry;
#endif
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  return result;
}
