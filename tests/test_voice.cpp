#include "test_voice.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
TestVoice* latest = nullptr;
}

std::chrono::steady_clock::time_point FakeClock::now = std::chrono::steady_clock::time_point(std::chrono::hours(1));

TestVoice::TestVoice(const platform::AudioFormat& format, platform::BufferEnd onBufferEnd)
    : format(format), onBufferEnd(std::move(onBufferEnd)) {
  latest = this;
}

TestVoice::~TestVoice() {
  if (latest == this) latest = nullptr;
}

bool TestVoice::Submit(std::vector<uint8_t> bytes) {
  std::lock_guard<std::mutex> lock(mutex);
  queue.push_back(std::move(bytes));
  ++submitted;
  return true;
}

void TestVoice::Start() { started = true; }
void TestVoice::Stop() { started = false; }

void TestVoice::Flush() {
  std::lock_guard<std::mutex> lock(mutex);
  queue.clear();
  offset = 0;
}

platform::VoiceState TestVoice::State() {
  std::lock_guard<std::mutex> lock(mutex);
  uint64_t bytes = 0;
  for (const auto& buffer : queue) bytes += buffer.size();
  return {static_cast<uint32_t>(queue.size()), (bytes - offset) / (static_cast<uint64_t>(format.channels) * 2), played};
}

void TestVoice::SetVolume(float value) { volume = value; }

uint64_t TestVoice::Play(uint64_t frames) {
  if (!started) return 0;
  const size_t frameBytes = static_cast<size_t>(format.channels) * 2;
  uint64_t done = 0;
  for (;;) {
    int ended = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      while (done < frames && !queue.empty() && ended == 0) {
        const size_t left = (queue.front().size() - offset) / frameBytes;
        const uint64_t take = std::min<uint64_t>(left, frames - done);
        for (uint64_t frame = 0; frame < take; ++frame) {
          int16_t sample;
          std::memcpy(&sample, queue.front().data() + offset + frame * frameBytes, sizeof sample);
          if (std::abs(sample) <= 1000) {
            ++quietFrames;
            continue;
          }
          if (quietFrames >= static_cast<uint64_t>(format.sampleRate / 10))
            loudStarts.push_back(static_cast<int64_t>(played + frame));
          else
            longestQuietRun = std::max(longestQuietRun, quietFrames);
          quietFrames = 0;
        }
        offset += take * frameBytes;
        done += take;
        played += take;
        if (offset >= queue.front().size()) {
          queue.pop_front();
          offset = 0;
          ++ended;
        }
      }
    }
    if (ended == 0) {
      // A device plays silence for what the voice lacks.
      std::lock_guard<std::mutex> lock(mutex);
      quietFrames += frames - done;
      return done;
    }
    onBufferEnd();  // as the audio thread does: the player submits the next buffer
  }
}

TestVoiceScope::TestVoiceScope() {
  platform::SetAudioVoiceFactory([](const platform::AudioFormat& format, platform::BufferEnd onBufferEnd) {
    return std::make_unique<TestVoice>(format, std::move(onBufferEnd));
  });
}

TestVoiceScope::~TestVoiceScope() { platform::SetAudioVoiceFactory({}); }

TestVoice* TestVoiceScope::Voice() { return latest; }
