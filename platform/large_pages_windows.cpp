// Windows gives large pages only to programs whose user holds the "lock
// pages in memory" right, and only for memory allocated as such: a hint
// on memory already allocated has nothing to ask for.
#include "platform/large_pages.h"

namespace platform {

void PreferLargePages(void*, size_t) {}

}  // namespace platform
