#include "classifier/history.h"

#include "kit/filter_row.h"
#include "kit/glyph_demand.h"
#include "kit/icons.h"
#include "kit/text.h"
#include "kit/text_filter.h"
#include "kit/widgets.h"
#include "platform/trash.h"

namespace {
constexpr float kUndoHue = 0.41625f;
}

HistoryRecord& History::Add(HistoryKind kind, const std::string& target, const std::string& source,
                            Commands::Async::RequestId request) {
  HistoryRecord record;
  record.kind = kind;
  record.target = target;
  record.source = source;
  record.targetText = ToUtf8(target);
  record.sourceText = ToUtf8(source);
  record.request = request;
  record.state = request != 0 ? RecordState::Waiting : RecordState::Done;
  records.push_front(std::move(record));
  while (records.size() > kMaxRecords) records.pop_back();
  return records.front();
}

void History::Remove(const HistoryRecord& record) {
  for (auto it = records.begin(); it != records.end(); ++it) {
    if (&*it == &record) {
      records.erase(it);
      return;
    }
  }
}

HistoryRecord* History::ForRequest(Commands::Async::RequestId request) {
  if (request == 0) return nullptr;
  for (HistoryRecord& record : records)
    if (record.request == request || record.undoRequest == request) return &record;
  return nullptr;
}

namespace {

// Rows scrolled out of view keep no glyphs: up to 1,024 records would
// otherwise hold characters nobody sees.
void NoteIfInView(const std::string& text, int lines) {
  if (ImGui::IsRectVisible(ImVec2(1.0f, ImGui::GetTextLineHeightWithSpacing() * static_cast<float>(lines))))
    GlyphDemand::Note(text);
}

// Where the record stands, under its paths.
void DrawState(const HistoryRecord& record) {
  if (record.undoRequest != 0) {
    StatusText("moving back: waiting", Tone::Quiet);
  } else if (record.undoWhenDone) {
    StatusText("undo: waiting for the move to end", Tone::Quiet);
  } else if (record.state == RecordState::Waiting) {
    StatusText(Commands::Async::Waiting(record.request) ? "waiting" : "in progress", Tone::Quiet);
  } else if (record.state == RecordState::Failed) {
    StatusText("failed: " + record.failure, Tone::Problem);
  } else if (record.trashed) {
    const std::string trash = std::string("the ") + platform::TrashName();
    StatusText(record.kind == HistoryKind::Delete ? "in " + trash : "done; the file it replaced is in " + trash,
               Tone::Quiet);
  } else {
    StatusText(record.kind == HistoryKind::Delete ? "deleted for good" : "done", Tone::Quiet);
  }
  if (!record.undoRefused.empty()) StatusText("cannot undo: " + record.undoRefused, Tone::Problem);
}

}  // namespace

HistoryRecord* History::Draw() {
  HistoryRecord* undo = nullptr;
  ImGui::BeginChild("##History", ImVec2(ImGui::GetContentRegionAvail().x, 0), true,
                    ImGuiWindowFlags_AlwaysVerticalScrollbar);
  const ImGuiStyle& style = ImGui::GetStyle();
  FilterRow(filter, ICON_FILTER " History - Filter(include, -exclude)", "##historyFilter",
            style.ScrollbarSize + style.ItemSpacing.x);

  int shown = 0;
  for (HistoryRecord& record : records) {
    if (!FilterPasses(filter, record.sourceText.c_str()) && !FilterPasses(filter, record.targetText.c_str())) continue;
    ImGui::BeginGroup();
    ImGui::PushID(++shown);
    // Texts are built, not formatted: a path may hold "%" and be long.
    if (record.Undoable()) {
      if (TintedButton(ICON_UNDO " Undo", kUndoHue, kNoKey)) undo = &record;
      ImGui::SameLine();
    }
    if (record.kind == HistoryKind::Delete) {
      const std::string text = ICON_DELETE " [Delete File] " + record.sourceText;
      NoteIfInView(text, 2);
      ImGui::TextUnformatted(text.c_str());
    } else {
      const bool move = record.kind == HistoryKind::Move;
      const std::string text = std::string(move ? ICON_MOVED " [Move From] " : ICON_RENAME " [Rename From] ") +
                               record.sourceText + "\n[To] " + record.targetText;
      NoteIfInView(text, 3);
      ImGui::TextUnformatted(text.c_str());
    }
    DrawState(record);
    ImGui::PopID();
    ImGui::EndGroup();
    ImGui::Separator();
  }
  ImGui::EndChild();
  return undo;
}
