#include "player/picture_conveyor.h"

#include <system_error>
#include <utility>

#include "player/ffmpeg.h"

namespace {

// Pixel buffers kept for reuse: the screen gives one back for each picture
// it takes, and a decoder with pictures out of order hands several over at
// once; more are freed.
constexpr size_t kRecycledKept = 2;

}  // namespace

void PictureConveyor::Decoded::FreeFrame::operator()(AVFrame* frame) const { av_frame_free(&frame); }

PictureConveyor::PictureConveyor(PictureQueue& screen, CalledOff calledOff)
    : screen(screen), calledOff(std::move(calledOff)) {}

PictureConveyor::~PictureConveyor() { Stop(); }

bool PictureConveyor::Start(size_t waiting) {
  Stop();
  stopping = false;
  decoded.SetCapacity(waiting);
  try {
    thread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void PictureConveyor::Stop() {
  stopping = true;
  Wake();
  if (thread.joinable()) thread.join();
  decoded.Clear();
  unfinished = 0;
  converter.Reset();
  std::lock_guard<std::mutex> lock(recycledMutex);
  recycled.clear();
}

void PictureConveyor::Wake() {
  decoded.Wake();
  screen.Wake();
  { std::lock_guard<std::mutex> lock(idleMutex); }
  idleChanged.notify_all();
}

bool PictureConveyor::Hand(AVFrame* frame, double pts, uint64_t serial) {
  Decoded picture;
  picture.frame.reset(av_frame_alloc());
  if (!picture.frame) return false;
  av_frame_move_ref(picture.frame.get(), frame);
  picture.pts = pts;
  picture.serial = serial;
  ++unfinished;
  if (decoded.Push(std::move(picture), [&] { return stopping || calledOff(serial); })) return true;
  Finished();
  return false;
}

void PictureConveyor::WaitUntilIdle(uint64_t serial) {
  std::unique_lock<std::mutex> lock(idleMutex);
  idleChanged.wait(lock, [&] { return unfinished.load() == 0 || stopping || calledOff(serial); });
}

void PictureConveyor::Finished() {
  {
    std::lock_guard<std::mutex> lock(idleMutex);
    --unfinished;
  }
  idleChanged.notify_all();
}

void PictureConveyor::Recycle(std::vector<uint8_t> pixels) {
  if (pixels.empty()) return;
  std::lock_guard<std::mutex> lock(recycledMutex);
  if (recycled.size() < kRecycledKept) recycled.push_back(std::move(pixels));
}

std::vector<uint8_t> PictureConveyor::TakeRecycled() {
  std::lock_guard<std::mutex> lock(recycledMutex);
  if (recycled.empty()) return {};
  std::vector<uint8_t> pixels = std::move(recycled.back());
  recycled.pop_back();
  return pixels;
}

void PictureConveyor::Run() {
  Decoded next;
  while (decoded.PopWaiting(next, [this] { return stopping.load(); })) {
    const uint64_t serial = next.serial;
    if (!calledOff(serial)) {
      VideoFrame picture;
      picture.pixels = TakeRecycled();
      if (converter.Convert(*next.frame, picture)) {
        next.frame.reset();  // the decoder's frame goes back to its pool before the wait for room
        picture.pts = next.pts;
        picture.serial = serial;
        screen.Push(std::move(picture), [&] { return stopping || calledOff(serial); });
      } else {
        Recycle(std::move(picture.pixels));
      }
    }
    next = {};
    Finished();
  }
}
