#pragma once
// Opening a stream's decoder, the same way for playback and still pictures.
struct AVCodecContext;
struct AVStream;

// How a decoder uses the machine's cores: one thread, or frames and slices
// spread over every core (a 4K picture takes one core longer to decode
// than its frame lasts; frame threads add a picture of delay per thread).
// Library: whatever the decoder does by default.
enum class DecoderThreads { One, EveryCore, Library };

// Finds, sets up and opens the decoder for a stream: preferredName names a
// decoder to use instead of the default one when it exists. Null on any
// failure (nothing is left allocated).
AVCodecContext* OpenDecoder(const AVStream* stream, const char* preferredName, DecoderThreads threads);
