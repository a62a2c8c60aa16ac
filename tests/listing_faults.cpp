#include "listing_faults.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace listing_faults {
namespace {

// Room for ".", ".." and a few short names: the breaking folder's first
// answer holds part of its listing only.
constexpr size_t kFirstAnswerBytes = 160;

struct State {
  std::mutex mutex;
  std::condition_variable released;
  Plan plan;
  int breakingCalls = 0;
  bool failureGiven = false;
  int callsAfterFailure = 0;
  std::vector<std::string> namesBeforeFailure;
  bool slowWaiting = false;
  bool slowReleased = false;
};

// Never destroyed: a reader may still wait on it while the process exits.
State& Shared() {
  static State* state = new State;
  return *state;
}

std::string FolderOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[PATH_MAX];
  const ssize_t length = ::readlink(link, target, sizeof target);
  return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

template <typename Visit>
void ForEachEntry(void* buffer, ssize_t bytes, Visit visit) {
  for (ssize_t at = 0; at < bytes;) {
    auto* entry = reinterpret_cast<dirent64*>(static_cast<char*>(buffer) + at);
    visit(*entry);
    at += entry->d_reclen;
  }
}

}  // namespace

void Set(const Plan& plan) {
  State& state = Shared();
  std::lock_guard lock(state.mutex);
  state.plan = plan;
  state.breakingCalls = 0;
  state.failureGiven = false;
  state.callsAfterFailure = 0;
  state.namesBeforeFailure.clear();
  state.slowWaiting = false;
  state.slowReleased = false;
}

void Clear() {
  Release();
  Set(Plan());
}

std::vector<std::string> NamesBeforeFailure() {
  std::lock_guard lock(Shared().mutex);
  return Shared().namesBeforeFailure;
}

int CallsAfterFailure() {
  std::lock_guard lock(Shared().mutex);
  return Shared().callsAfterFailure;
}

bool SlowReaderWaiting() {
  std::lock_guard lock(Shared().mutex);
  return Shared().slowWaiting;
}

void Release() {
  State& state = Shared();
  {
    std::lock_guard lock(state.mutex);
    state.slowReleased = true;
  }
  state.released.notify_all();
}

}  // namespace listing_faults


// The folder walk's own listing call.
extern "C" ssize_t getdents64(int fd, void* buffer, size_t length) noexcept {
  auto& state = listing_faults::Shared();
  std::unique_lock lock(state.mutex);
  if (state.failureGiven) ++state.callsAfterFailure;
  const bool breaking = !state.plan.breakingFolder.empty() && listing_faults::FolderOf(fd) == state.plan.breakingFolder;
  if (breaking && state.breakingCalls++ > 0) {
    state.failureGiven = true;
    errno = state.plan.failError;
    return -1;
  }
  const ssize_t bytes = ::syscall(SYS_getdents64, fd, buffer, breaking ? listing_faults::kFirstAnswerBytes : length);
  if (bytes <= 0) return bytes;
  listing_faults::ForEachEntry(buffer, bytes, [&](dirent64& entry) {
    if (state.plan.hideEntryTypes) entry.d_type = DT_UNKNOWN;
    if (breaking && std::strcmp(entry.d_name, ".") != 0 && std::strcmp(entry.d_name, "..") != 0)
      state.namesBeforeFailure.emplace_back(entry.d_name);
  });
  return bytes;
}

// Directory streams (the chooser's listings) read through here.
extern "C" struct dirent* readdir(DIR* dir) {
  using Readdir = struct dirent* (*)(DIR*);
  static const auto next = reinterpret_cast<Readdir>(::dlsym(RTLD_NEXT, "readdir"));
  auto& state = listing_faults::Shared();
  {
    std::unique_lock lock(state.mutex);
    if (!state.plan.slowFolder.empty() && !state.slowReleased &&
        listing_faults::FolderOf(::dirfd(dir)) == state.plan.slowFolder) {
      state.slowWaiting = true;
      state.released.wait_for(lock, std::chrono::seconds(60), [&] { return state.slowReleased; });
    }
  }
  return next(dir);
}
