#include "classifier/history.h"

#include "kit/glyph_demand.h"
#include "kit/icons.h"
#include "kit/text.h"
#include "kit/text_filter.h"
#include "kit/widgets.h"

namespace {
constexpr float kUndoHue = 0.41625f;
}

void History::Add(HistoryKind kind, const std::string& target, const std::string& source) {
  records.push_front({kind, target, source, ToUtf8(target), ToUtf8(source)});
  while (records.size() > kMaxRecords) records.pop_back();
}

void History::Remove(const HistoryRecord& record) {
  for (auto it = records.begin(); it != records.end(); ++it) {
    if (it->SamePaths(record)) {
      records.erase(it);
      return;
    }
  }
}

namespace {

// Rows scrolled out of view keep no glyphs: up to 1,024 records would
// otherwise hold characters nobody sees.
void NoteIfInView(const std::string& text, int lines) {
  if (ImGui::IsRectVisible(ImVec2(1.0f, ImGui::GetTextLineHeightWithSpacing() * static_cast<float>(lines))))
    GlyphDemand::Note(text);
}

}  // namespace

std::optional<HistoryRecord> History::Draw() {
  std::optional<HistoryRecord> undo;
  ImGui::BeginChild("##History", ImVec2(ImGui::GetContentRegionAvail().x, 0), true,
                    ImGuiWindowFlags_AlwaysVerticalScrollbar);
  if (ShortcutButton(ICON_CLEAR, kNoKey)) {
    filter.Clear();
    filter.Build();
  }
  ImGui::SameLine();
  const ImGuiStyle& style = ImGui::GetStyle();
  ImGui::SetNextItemWidth(-(style.ScrollbarSize + style.ItemSpacing.x));
  GlyphDemand::Note(filter.InputBuf);
  if (ImGui::InputTextWithHint(" ", ICON_FILTER " History - Filter(include, -exclude)", filter.InputBuf,
                               IM_ARRAYSIZE(filter.InputBuf)))
    filter.Build();
  ObserveLastItem("##historyFilter");

  int shown = 0;
  for (const HistoryRecord& record : records) {
    if (!FilterPasses(filter, record.sourceText.c_str()) && !FilterPasses(filter, record.targetText.c_str())) continue;
    ImGui::BeginGroup();
    ImGui::PushID(++shown);
    // Texts are built, not formatted: a path may hold "%" and be long.
    switch (record.kind) {
      case HistoryKind::Move:
      case HistoryKind::Rename: {
        if (TintedButton(ICON_UNDO " Undo", kUndoHue, kNoKey)) undo = record;
        ImGui::SameLine();
        const bool move = record.kind == HistoryKind::Move;
        const std::string text = std::string(move ? ICON_MOVED " [Move From] " : ICON_RENAME " [Rename From] ") +
                                 record.sourceText + "\n[To] " + record.targetText;
        NoteIfInView(text, 2);
        ImGui::TextUnformatted(text.c_str());
        break;
      }
      case HistoryKind::Delete: {
        const std::string text = ICON_DELETE " [Delete File] " + record.sourceText;
        NoteIfInView(text, 1);
        ImGui::TextUnformatted(text.c_str());
        break;
      }
    }
    ImGui::PopID();
    ImGui::EndGroup();
    ImGui::Separator();
  }
  ImGui::EndChild();
  return undo;
}
