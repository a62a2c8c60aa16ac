#include "grouping/similarity.h"

#include <imgui.h>

#include "kit/icons.h"
#include "kit/scan_controls.h"
#include "kit/shell_services.h"
#include "kit/widgets.h"

void Similarity::Reset() {
  Base::Reset();
  files.clear();
  sizes.clear();
}

void Similarity::Draw() {
  DrawnTabIndex = kSimilarityTab;
  if (collectTimer.Due()) {
    std::vector<std::string> folders;
    scanner.Collect(folders, files, &sizes);
  }
  ScanControls(*this);
  if (!RootPath().empty()) return;
  HelpText(ICON_HELP
           " This feature recursively scans a folder and detects likely duplicates by parsing platform IDs / tags in "
           "filenames (e.g. YouTube, X / Twitter, etc.).\nIt normalizes titles and extensions (MP4 / MKV / WebM,...) "
           "and groups items that share the same ID.\n\nIt does not compare audio/video content. If you need content "
           "level dedupe (same file, different name), use Twinsift:");
  ImGui::NewLine();
  if (ShortcutButton(ICON_TWINSIFT_WEBSITE " Twinsift Website", kNoKey)) OpenWebPage(kTwinsiftAddress);
}
