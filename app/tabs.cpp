#include "app/tabs.h"

#include "kit/icons.h"

// One translation unit, so the construction order is fixed: Classifier,
// Similarity, Viewer, Grouping, Settings, About.
Classifier ClassifierTab;
Similarity SimilarityTab;
Viewer ViewerTab;
Group GroupingTab;
SettingsView SettingsTab;
AboutView AboutTab;

std::span<const TabEntry> Tabs() {
  static const TabEntry table[] = {
      {ICON_VIEWER_TAB "Viewer", ViewerTab},
      {ICON_CLASSIFIER_TAB "Classifier", ClassifierTab},
      {ICON_SIMILARITY_TAB "Similarity", SimilarityTab},
      {ICON_GROUPING_TAB "Grouping", GroupingTab},
      {ICON_SETTINGS_TAB "Settings", SettingsTab},
      {ICON_ABOUT_TAB "About", AboutTab},
  };
  static_assert(std::size(table) == kAboutTab + 1, "one entry per tab index, in order");
  return table;
}
