#include "kit/frame_demand.h"

#include <algorithm>

namespace FrameDemand {
namespace {
double soonest = -1.0;  // GUI thread only
}

void Next() { soonest = 0.0; }

void Within(double seconds) { soonest = soonest < 0 ? seconds : std::min(soonest, seconds); }

double Take() {
  const double wanted = soonest;
  soonest = -1.0;
  return wanted;
}

}  // namespace FrameDemand
