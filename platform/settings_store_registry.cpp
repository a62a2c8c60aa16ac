// The settings are values under the current user's key
// HKCU\SOFTWARE\Brackenfold\quillmere: whole numbers as DWORD values, any
// other text as a string value. Any of the string types reads as text.
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "platform/settings_store.h"
#include "platform/utf16_windows.h"

namespace platform {
namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Brackenfold\\quillmere";

// The key opened for the access asked, made when missing; nullptr when
// the registry refuses (a key the user may only read still reads).
HKEY OpenSettingsKey(REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, access, &key) == ERROR_SUCCESS) return key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The text as a DWORD when it is a whole number that fits one.
bool AsDword(const std::string& text, DWORD& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long number = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || number < INT32_MIN || number > UINT32_MAX) return false;
  value = static_cast<DWORD>(number);
  return true;
}

}  // namespace

std::string ReadStoredValue(const std::string& name) {
  HKEY key = OpenSettingsKey(KEY_READ);
  if (!key) return {};
  const std::wstring valueName = Utf16(name);
  std::string text;
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
    if (type == REG_DWORD && bytes == sizeof(DWORD)) {
      DWORD value = 0;
      if (RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &bytes) ==
          ERROR_SUCCESS)
        text = std::to_string(static_cast<int32_t>(value));  // as the C library would read it back
    } else if (IsText(type) && bytes < 4096) {
      // The text up to its first end: a list's first string, references
      // to the environment as they are.
      std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
      DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
      if (RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) ==
          ERROR_SUCCESS) {
        value.resize(size / sizeof(wchar_t));
        text = Utf8(value.substr(0, value.find(L'\0')));
      }
    }
  }
  RegCloseKey(key);
  return text;
}

bool WriteStoredValue(const std::string& name, const std::string& value) {
  HKEY key = OpenSettingsKey(KEY_WRITE);
  if (!key) return false;
  const std::wstring valueName = Utf16(name);
  LSTATUS status;
  if (DWORD number = 0; AsDword(value, number)) {
    status = RegSetValueExW(key, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  } else {
    const std::wstring text = Utf16(value);
    status = RegSetValueExW(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace platform
