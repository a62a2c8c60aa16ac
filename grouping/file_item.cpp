#include "grouping/file_item.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void FormatFileSize(std::ostream& out, uint64_t bytes) { out << FileSizeText(bytes); }

// "%g" writes a double as a stream does by default (six significant
// digits, no trailing zeros), at a fraction of a stream's cost per file.
std::string FileSizeText(uint64_t bytes) {
  static const char kUnits[] = "BKMGTPE";
  double x = static_cast<double>(bytes);
  int unit = 0;
  while (x >= 1024) {
    x *= 1.0 / 1024;
    ++unit;
  }
  x = std::ceil(x * 10) / 10;  // never below the exact value
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%g%c%s", x, kUnits[unit], unit > 0 ? "B" : "");
  return std::string(text, static_cast<size_t>(std::max(length, 0)));
}

std::optional<platform::FileIdentity> IdentityToDelete(const FileItem& item) {
  if (item.link || item.identity == platform::FileIdentity{}) return platform::IdentityOf(item.path);
  return item.identity;
}
