#pragma once
// The four content tabs, one object each for the whole run.
#include "classifier/classifier.h"
#include "grouping/group.h"
#include "grouping/similarity.h"
#include "viewer/viewer.h"

extern Classifier ClassifierTab;
extern Similarity SimilarityTab;
extern Viewer ViewerTab;
extern Group GroupingTab;
