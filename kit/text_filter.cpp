#include "kit/text_filter.h"

#include <cstring>

namespace {

unsigned char AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; }

// Whether the term occurs in the text, ASCII letters in either case. Other
// bytes (every byte of a non-ASCII character) match only themselves, so a
// term in any script finds its own letters.
bool Contains(const char* text, const char* term, const char* termEnd) {
  const size_t length = static_cast<size_t>(termEnd - term);
  const size_t textLength = std::strlen(text);
  for (size_t at = 0; at + length <= textLength; ++at) {
    size_t i = 0;
    while (i < length && AsciiUpper(static_cast<unsigned char>(text[at + i])) ==
                             AsciiUpper(static_cast<unsigned char>(term[i])))
      ++i;
    if (i == length) return true;
  }
  return false;
}

}  // namespace

bool FilterPasses(const ImGuiTextFilter& filter, const char* text) {
  if (!filter.IsActive()) return true;
  if (!text) text = "";
  bool anyIncluding = false, included = false;
  for (const ImGuiTextFilter::ImGuiTextRange& term : filter.Filters) {
    if (term.empty()) continue;
    if (term.b[0] == '-') {
      if (term.b + 1 < term.e && Contains(text, term.b + 1, term.e)) return false;
    } else {
      anyIncluding = true;
      included = included || Contains(text, term.b, term.e);
    }
  }
  return !anyIncluding || included;
}
