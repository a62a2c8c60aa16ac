#pragma once
// How many samples a side a picture's draw averages for each screen pixel
// when it is shown at `scale` screen pixels per texel: 1 (the linear filter
// alone) down to half size, or where its smaller sizes are made; under a
// quarter of its size, 2 (two samples on the diagonal); beyond, a grid
// one sample short of the texels covered, at most kMostShrinkTaps.
#include <algorithm>
#include <cmath>

namespace platform {

inline constexpr int kMostShrinkTaps = 5;  // 25 samples: a picture shown at a sixth of its size or less

inline int ShrinkTaps(float scale, bool reducedDetail) {
  if (!(scale > 0.0f && scale < 0.5f) || reducedDetail) return 1;
  const float covered = 1.0f / scale;
  return covered < 4.0f ? 2 : std::clamp(static_cast<int>(std::ceil(covered)) - 1, 3, kMostShrinkTaps);
}

}  // namespace platform
