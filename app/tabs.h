#pragma once
// The tabs of the main window, one object each for the whole run, and the
// one table of them, in tab-bar order, that drawing, F-keys and shutdown
// go by.
#include <span>

#include "views/about_tab.h"
#include "views/settings_tab.h"
#include "kit/view.h"
#include "classifier/classifier.h"
#include "grouping/group.h"
#include "grouping/similarity.h"
#include "viewer/viewer.h"

extern Classifier ClassifierTab;
extern Similarity SimilarityTab;
extern Viewer ViewerTab;
extern Group GroupingTab;
extern SettingsView SettingsTab;
extern AboutView AboutTab;

struct TabEntry {
  const char* label;
  View& view;  // its key is F1 plus its place in the table
};

std::span<const TabEntry> Tabs();
