#include "app/tabs.h"

// One translation unit, so the construction order (and with it the order
// of TabRegistry) is fixed: Classifier, Similarity, Viewer, Grouping.
Classifier ClassifierTab;
Similarity SimilarityTab;
Viewer ViewerTab;
Group GroupingTab;
