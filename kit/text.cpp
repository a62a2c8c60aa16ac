#include "kit/text.h"

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at s[i], or 0 when the bytes
// there are not one (the maximal-subpart rule decides how many to replace).
size_t WellFormedLength(std::string_view s, size_t i, size_t& badPrefix) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const size_t left = s.size() - i;
  const unsigned char c = b(0);
  badPrefix = 1;
  if (c < 0x80) return 1;
  size_t need;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    need = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  for (size_t k = 1; k < need; ++k) {
    if (k >= left) return 0;
    const unsigned char lower = k == 1 ? lo : 0x80, upper = k == 1 ? hi : 0xBF;
    if (b(k) < lower || b(k) > upper) return 0;
    badPrefix = k + 1;
  }
  return need;
}

}  // namespace

std::string ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    size_t badPrefix = 1;
    const size_t n = WellFormedLength(bytes, i, badPrefix);
    if (n) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      out += kReplacement;
      i += badPrefix;
    }
  }
  return out;
}

std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      line += "\xEF\xBF\xBD";
    } else {
      line += c;
    }
  }
  return line;
}

std::string CountText(uint64_t count) {
  const std::string digits = std::to_string(count);
  std::string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}
