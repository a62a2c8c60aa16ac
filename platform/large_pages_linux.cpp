#include "platform/large_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

void PreferLargePages(void* start, size_t bytes) {
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<uintptr_t>(start) + page - 1) / page * page;
  const auto to = (reinterpret_cast<uintptr_t>(start) + bytes) / page * page;
  // Transparent huge pages set to "madvise" serve only the ranges asked for.
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace platform
