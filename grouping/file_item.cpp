#include "grouping/file_item.h"

#include <cmath>
#include <sstream>

void FormatFileSize(std::ostream& out, uint64_t bytes) {
  static const char kUnits[] = "BKMGTPE";
  double x = static_cast<double>(bytes);
  int unit = 0;
  while (x >= 1024) {
    x *= 1.0 / 1024;
    ++unit;
  }
  x = std::ceil(x * 10) / 10;  // never below the exact value
  out << x << kUnits[unit];
  if (unit > 0) out << 'B';
}

std::string FileSizeText(uint64_t bytes) {
  std::ostringstream out;
  FormatFileSize(out, bytes);
  return out.str();
}
