#pragma once
// The pictures' way from the decoder to the screen. The demux thread hands
// each decoded picture over (a reference to the decoder's frame, not a
// copy); the conveyor's own thread turns it into BGRA and queues it for
// the screen. So decoding (the demux thread and the decoder's threads) and
// conversion run side by side, and a seek or a stop is never held up by a
// conversion: pictures of an old timeline are dropped wherever they are.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "player/bounded_queue.h"
#include "player/media_types.h"
#include "player/picture_converter.h"

struct AVFrame;

// The screen's queue is measured in bytes: a 4K picture weighs as much as
// sixteen of 960 x 540.
struct PictureBytes {
  size_t operator()(const VideoFrame& picture) const { return picture.pixels.size(); }
};
using PictureQueue = BoundedQueue<VideoFrame, PictureBytes>;

class PictureConveyor {
 public:
  // calledOff(serial): whether a picture of that timeline is no longer
  // wanted (a seek or a stop); asked while waiting for room, from either
  // thread.
  using CalledOff = std::function<bool(uint64_t serial)>;

  PictureConveyor(PictureQueue& screen, CalledOff calledOff);
  ~PictureConveyor();
  PictureConveyor(const PictureConveyor&) = delete;
  PictureConveyor& operator=(const PictureConveyor&) = delete;

  // Starts the converting thread (false: no thread to be had). At most
  // waiting decoded pictures wait for it, each holding a frame of the
  // decoder's.
  bool Start(size_t waiting = 2);
  // Joins the thread and drops every picture not yet on the screen's queue.
  void Stop();

  // Demux thread: takes over the decoded picture's data (frame is left
  // empty) with its time and timeline; waits while two wait to be
  // converted. False when called off meanwhile (the picture is dropped).
  bool Hand(AVFrame* frame, double pts, uint64_t serial);
  // Demux thread: waits until every picture handed over is on the screen's
  // queue or dropped, unless called off (for the serial) meanwhile.
  void WaitUntilIdle(uint64_t serial);
  // Wakes every wait so it sees a stop or seek raised before the call.
  void Wake();

  // GUI thread: the pixels of a picture no longer shown, to be reused for a
  // later one (a 4K picture is 33 MB: allocating and clearing it for every
  // picture costs as much as converting it).
  void Recycle(std::vector<uint8_t> pixels);

 private:
  struct Decoded {
    struct FreeFrame {
      void operator()(AVFrame* frame) const;
    };
    std::unique_ptr<AVFrame, FreeFrame> frame;
    double pts = 0.0;
    uint64_t serial = 0;
  };

  void Run();
  void Finished();
  std::vector<uint8_t> TakeRecycled();

  PictureQueue& screen;
  CalledOff calledOff;
  BoundedQueue<Decoded> decoded{2};
  PictureConverter converter;  // the converting thread's own
  std::thread thread;
  std::atomic<bool> stopping{false};
  // Pictures handed over and not yet queued for the screen or dropped.
  std::atomic<int> unfinished{0};
  std::mutex idleMutex;
  std::condition_variable idleChanged;
  std::mutex recycledMutex;
  std::vector<std::vector<uint8_t>> recycled;
};
