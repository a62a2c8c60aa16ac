#include "kit/text_filter.h"

#include <imgui_internal.h>

bool FilterPasses(const ImGuiTextFilter& filter, const char* text) {
  if (!filter.IsActive()) return true;
  if (!text) text = "";
  bool anyIncluding = false, included = false;
  for (const ImGuiTextFilter::ImGuiTextRange& term : filter.Filters) {
    if (term.empty()) continue;
    if (term.b[0] == '-') {
      if (term.b + 1 < term.e && ImStristr(text, nullptr, term.b + 1, term.e)) return false;
    } else {
      anyIncluding = true;
      included = included || ImStristr(text, nullptr, term.b, term.e) != nullptr;
    }
  }
  return !anyIncluding || included;
}
