#pragma once
// Large buffers, such as a 4K picture of 33 MB, cost more to touch for the
// first time than to fill: each 4 KB page is a fault of its own. Where the
// system can, a buffer not yet written is backed by large pages instead,
// and its first touch costs a fraction of that.
#include <cstddef>

namespace platform {

// A hint only: nothing changes where the system cannot follow it.
void PreferLargePages(void* start, size_t bytes);

}  // namespace platform
