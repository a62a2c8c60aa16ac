#include "kit/glyph_supply.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <thread>

#include "platform/embedded_data.h"
#include "platform/system_fonts.h"
#include "kit/gui_thread.h"

namespace GlyphSupply {
namespace {

struct Request {
  std::vector<char32_t> codePoints;
  float pixelSize;
};

// Which font draws each character, learned once: asking the system about a
// character again after a size change would cost a sort of every font.
class FontChoice {
 public:
  static constexpr int kTextFont = -1;
  static constexpr int kNoFont = -2;

  FontChoice() {
    const platform::EmbeddedBytes text = platform::TextFontBytes();
    textFace = FontFace::FromBytes(text.data, text.size, 0);
  }

  int For(char32_t c) {
    auto known = chosen.find(c);
    if (known != chosen.end()) return known->second;
    return chosen[c] = Choose(c);
  }
  const FontFace* Face(int index) const { return index >= 0 ? faces[static_cast<size_t>(index)].get() : nullptr; }
  float LineAscent(float pixelSize) const { return textFace ? textFace->AscentAt(pixelSize) : pixelSize; }

 private:
  int Choose(char32_t c) {
    if (textFace && textFace->HasGlyph(c)) return kTextFont;
    for (size_t i = 0; i < faces.size(); ++i)
      if (faces[i]->HasGlyph(c)) return static_cast<int>(i);
    for (const platform::FontFileFace& candidate : platform::FontFacesCovering(c, 3)) {
      const std::string key = candidate.path + "#" + std::to_string(candidate.faceIndex);
      if (!tried.insert(key).second) continue;  // already open, or unreadable
      std::unique_ptr<FontFace> face = FontFace::FromFile(candidate.path, candidate.faceIndex);
      if (!face) continue;
      faces.push_back(std::move(face));
      if (faces.back()->HasGlyph(c)) return static_cast<int>(faces.size() - 1);
    }
    return kNoFont;
  }

  std::unique_ptr<FontFace> textFace;
  std::vector<std::unique_ptr<FontFace>> faces;
  std::set<std::string> tried;
  std::map<char32_t, int> chosen;
};

struct Worker {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<Request> requests;
  std::atomic<size_t> unanswered{0};  // characters asked for, not yet answered
  std::atomic<bool> stopping{false};  // looked at for every character
  std::atomic<float> wantedSize{0.0f};  // the size last asked for; others are stale
  std::atomic<unsigned> stops{0};
  std::thread thread;  // started by the first Ask, joined by Stop
};

Worker worker;
std::vector<GlyphAnswers> arrived;  // GUI thread only, posted there by the worker

// Marks that change how text runs or joins but draw nothing (zero-width
// spaces and joiners, direction marks, variation selectors, the byte order
// mark): they take no room and need no font.
bool InvisibleFormatting(char32_t c) {
  return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) ||
         (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF;
}

GlyphBitmap EmptyGlyph(char32_t c) {
  GlyphBitmap glyph;
  glyph.codePoint = c;
  glyph.width = glyph.height = 3;
  glyph.empty = true;
  glyph.alpha.assign(9, 0);
  return glyph;
}

// The characters count as answered once the GUI thread has them.
void Publish(GlyphAnswers& batch, size_t answered) {
  if (answered == 0) return;
  GuiThread::Post([answers = std::move(batch), answered, stops = worker.stops.load()]() mutable {
    if (stops != worker.stops.load()) return;  // asked before a stop, which forgot it
    arrived.push_back(std::move(answers));
    worker.unanswered -= answered;
  });
  batch = GlyphAnswers{};
}

void Serve() {
  FontChoice choice;  // the system's fonts are looked at on this thread only
  using Clock = std::chrono::steady_clock;
  for (;;) {
    Request request;
    {
      std::unique_lock<std::mutex> hold(worker.lock);
      worker.wake.wait(hold, [] { return worker.stopping || !worker.requests.empty(); });
      if (worker.stopping) return;
      request = std::move(worker.requests.front());
      worker.requests.pop_front();
    }
    // Answers go out in batches a few times a second, so a flood of new
    // characters shows in steps instead of after the last one.
    GlyphAnswers batch;
    batch.pixelSize = request.pixelSize;
    size_t answered = 0;
    auto lastPublish = Clock::now();
    const float ascent = choice.LineAscent(request.pixelSize);
    for (char32_t c : request.codePoints) {
      if (worker.stopping) return;
      GlyphBitmap bitmap;
      if (request.pixelSize != worker.wantedSize) {
        batch.stale.push_back(c);  // the size changed since: asked again at the new one
      } else if (InvisibleFormatting(c)) {
        batch.drawn.push_back(EmptyGlyph(c));
      } else if (const int font = choice.For(c); font == FontChoice::kTextFont) {
        batch.inTextFont.push_back(c);
      } else if (font != FontChoice::kNoFont && choice.Face(font)->Rasterise(c, request.pixelSize, ascent, bitmap)) {
        batch.drawn.push_back(std::move(bitmap));
      } else {
        batch.noFont.push_back(c);
      }
      ++answered;
      if (Clock::now() - lastPublish > std::chrono::milliseconds(200)) {
        Publish(batch, answered);
        batch.pixelSize = request.pixelSize;
        answered = 0;
        lastPublish = Clock::now();
      }
    }
    Publish(batch, answered);
  }
}

}  // namespace

void Ask(const std::vector<char32_t>& codePoints, float pixelSize) {
  if (codePoints.empty()) return;
  std::lock_guard<std::mutex> hold(worker.lock);
  if (!worker.thread.joinable()) {
    worker.stopping = false;
    try {
      worker.thread = std::thread(Serve);
    } catch (const std::system_error&) {
      return;  // no worker: the characters keep showing as U+FFFD
    }
  }
  worker.requests.push_back({codePoints, pixelSize});
  worker.wantedSize = pixelSize;
  worker.unanswered += codePoints.size();
  worker.wake.notify_one();
}

std::vector<GlyphAnswers> Take() {
  std::vector<GlyphAnswers> taken;
  taken.swap(arrived);
  return taken;
}

bool Busy() { return worker.unanswered.load() != 0; }

void RequestStop() {
  std::lock_guard<std::mutex> hold(worker.lock);
  worker.stopping = true;
  worker.wake.notify_one();
}

void Stop() {
  RequestStop();
  if (worker.thread.joinable()) worker.thread.join();
  platform::ReleaseSystemFonts();
  std::lock_guard<std::mutex> hold(worker.lock);
  worker.requests.clear();
  arrived.clear();
  worker.unanswered = 0;
  ++worker.stops;
}

}  // namespace GlyphSupply
