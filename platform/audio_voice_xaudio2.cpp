// The audio voice over XAudio2, loaded at run time from the system folder
// ("xaudio2_9.dll") and kept. Each voice has an engine and a mastering
// voice of its own, made with it and released with it, so a file opened
// after the sound device went away or came back gets the device as it is
// now, and nothing keeps a sound stream open between files. Buffers stay
// here until the engine reports their end. Where there is no engine or no
// output device, the silent device stands in.
#include <windows.h>
#include <xaudio2.h>

#include <atomic>
#include <mutex>
#include <set>

#include "platform/voice_mixer.h"

namespace platform {
namespace {

using CreateWithVersionCall = HRESULT(WINAPI*)(IXAudio2**, UINT32, XAUDIO2_PROCESSOR, DWORD);
using CreateCall = HRESULT(WINAPI*)(IXAudio2**, UINT32, XAUDIO2_PROCESSOR);

// The library's entry points, looked up once and kept for the run.
struct Library {
  HMODULE module = nullptr;
  CreateWithVersionCall createWithVersion = nullptr;
  CreateCall create = nullptr;
};
Library library;
std::mutex libraryMutex;
AudioVoiceFactory voiceFactory;

template <typename Call>
Call EntryPoint(const char* name) {
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(library.module, name)));
}

bool LibraryLoaded() {
  std::lock_guard<std::mutex> lock(libraryMutex);
  if (library.module) return true;
  HMODULE module = LoadLibraryExW(L"xaudio2_9.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module) return false;
  library.module = module;
  library.createWithVersion = EntryPoint<CreateWithVersionCall>("XAudio2CreateWithVersionInfo");
  if (!library.createWithVersion) library.create = EntryPoint<CreateCall>("XAudio2Create");
  if (library.createWithVersion || library.create) return true;
  FreeLibrary(module);
  library.module = nullptr;
  return false;
}

// An engine with its mastering voice on the default device; both null when
// the machine has none to give.
struct Engine {
  IXAudio2* audio = nullptr;
  IXAudio2MasteringVoice* master = nullptr;

  Engine() = default;
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  ~Engine() { Release(); }

  bool Start() {
    constexpr DWORD kWindows10 = 0x0A000010;
    const HRESULT made = library.createWithVersion
                             ? library.createWithVersion(&audio, 0, XAUDIO2_DEFAULT_PROCESSOR, kWindows10)
                             : library.create(&audio, 0, XAUDIO2_DEFAULT_PROCESSOR);
    if (FAILED(made)) {
      audio = nullptr;
      return false;
    }
    if (SUCCEEDED(audio->CreateMasteringVoice(&master))) return true;
    master = nullptr;
    Release();
    return false;
  }
  void Release() {
    if (master) master->DestroyVoice();
    if (audio) audio->Release();  // stops the engine's thread
    master = nullptr;
    audio = nullptr;
  }
};

// The engine holds its own lock while it calls back, so nothing here calls
// the engine while holding a lock the callback takes: each buffer is its
// own object, handed to the engine as its context and freed at its end.
class XAudio2Voice final : public AudioVoice, private IXAudio2VoiceCallback {
 public:
  XAudio2Voice(const AudioFormat& format, BufferEnd onBufferEnd)
      : frameBytes(static_cast<size_t>(format.channels) * 2), period(PeriodFor(format.sampleRate)),
        onBufferEnd(std::move(onBufferEnd)) {}
  ~XAudio2Voice() override {
    if (voice) voice->DestroyVoice();  // waits for the engine to leave the callbacks; the engine goes last
    std::lock_guard<std::mutex> lock(mutex);
    for (Held* held : live) delete held;  // buffers the engine dropped without a word
  }

  // False with an engine when it refuses this stream; without one when
  // the machine has none to give.
  bool Open(const AudioFormat& format) {
    if (!engine.Start()) return false;
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<WORD>(format.channels);
    wave.nSamplesPerSec = static_cast<DWORD>(format.sampleRate);
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = static_cast<WORD>(frameBytes);
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    return SUCCEEDED(engine.audio->CreateSourceVoice(&voice, &wave, 0, XAUDIO2_DEFAULT_FREQ_RATIO, this));
  }

  bool Submit(std::vector<uint8_t> bytes) override {
    if (bytes.empty() || bytes.size() % frameBytes != 0 || bytes.size() > XAUDIO2_MAX_BUFFER_BYTES) return false;
    auto* held = new Held{std::move(bytes), generation.load()};
    const uint64_t frames = held->bytes.size() / frameBytes;
    {
      std::lock_guard<std::mutex> lock(mutex);
      live.insert(held);
    }
    queued.fetch_add(1);
    submittedFrames.fetch_add(frames);
    XAUDIO2_BUFFER buffer{};
    buffer.AudioBytes = static_cast<UINT32>(held->bytes.size());
    buffer.pAudioData = held->bytes.data();
    buffer.pContext = held;
    if (SUCCEEDED(voice->SubmitSourceBuffer(&buffer))) return true;
    queued.fetch_sub(1);
    submittedFrames.fetch_sub(frames);
    Forget(held);
    return false;
  }
  void Start() override { voice->Start(); }
  void Stop() override { voice->Stop(); }
  void Flush() override {
    // Ends the engine still reports for the buffers it drops belong to an
    // older generation and are not passed on.
    generation.fetch_add(1);
    voice->FlushSourceBuffers();
    queued.store(0);
    submittedFrames.store(PlayedFrames());
  }
  VoiceState State() override {
    const uint64_t played = PlayedFrames();
    const uint64_t submitted = submittedFrames.load();
    return {queued.load(), submitted > played ? submitted - played : 0, played};
  }
  void SetVolume(float volume) override { voice->SetVolume(volume); }
  int PeriodFrames() const override { return period; }
  bool HasEngine() const { return engine.master != nullptr; }

 private:
  struct Held {
    std::vector<uint8_t> bytes;
    uint64_t generation;
  };

  uint64_t PlayedFrames() {
    XAUDIO2_VOICE_STATE state{};
    voice->GetState(&state, 0);  // with the count of samples played
    return state.SamplesPlayed;
  }

  void Forget(Held* held) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      live.erase(held);
    }
    delete held;
  }

  // The engine thread.
  void STDMETHODCALLTYPE OnBufferEnd(void* context) override {
    auto* held = static_cast<Held*>(context);
    const bool current = held->generation == generation.load();
    Forget(held);
    if (!current) return;
    // A flush may empty the count meanwhile: it never goes below none.
    uint32_t count = queued.load();
    while (count > 0 && !queued.compare_exchange_weak(count, count - 1)) {
    }
    if (onBufferEnd) onBufferEnd();  // the listener submits the next buffers from here
  }
  void STDMETHODCALLTYPE OnVoiceProcessingPassStart(UINT32) override {}
  void STDMETHODCALLTYPE OnVoiceProcessingPassEnd() override {}
  void STDMETHODCALLTYPE OnStreamEnd() override {}
  void STDMETHODCALLTYPE OnBufferStart(void*) override {}
  void STDMETHODCALLTYPE OnLoopEnd(void*) override {}
  void STDMETHODCALLTYPE OnVoiceError(void*, HRESULT) override {}

  Engine engine;
  const size_t frameBytes;
  const int period;
  const BufferEnd onBufferEnd;
  IXAudio2SourceVoice* voice = nullptr;
  std::atomic<uint64_t> generation{0};
  std::atomic<uint32_t> queued{0};
  std::atomic<uint64_t> submittedFrames{0};  // as counted by the played samples
  std::mutex mutex;             // live, never held while calling the engine
  std::set<Held*> live;         // submitted, their end not yet reported
};

}  // namespace

std::unique_ptr<AudioVoice> OpenAudioVoice(const AudioFormat& format, BufferEnd onBufferEnd) {
  if (voiceFactory) return voiceFactory(format, std::move(onBufferEnd));
  if (format.sampleRate < XAUDIO2_MIN_SAMPLE_RATE || format.sampleRate > XAUDIO2_MAX_SAMPLE_RATE ||
      format.channels < 1 || format.channels > kMaxVoiceChannels)
    return nullptr;
  if (LibraryLoaded()) {
    auto voice = std::make_unique<XAudio2Voice>(format, onBufferEnd);
    if (voice->Open(format)) return voice;
    if (voice->HasEngine()) return nullptr;  // the engine refuses this stream: the file shows as a still picture
  }
  return OpenSilentVoice(format, std::move(onBufferEnd));
}

void SetAudioVoiceFactory(AudioVoiceFactory factory) { voiceFactory = std::move(factory); }

}  // namespace platform
