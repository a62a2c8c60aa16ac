#pragma once
// Opening a stream's decoder, the same way for playback and still pictures.
struct AVCodecContext;
struct AVFrame;
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

// Clockwise turn the stream's display matrix asks for: 0, 90, 180 or 270.
int RotationOf(const AVStream* stream);
// The same for a decoded picture's own matrix (a photo's orientation);
// fallback when it has none.
int RotationOf(const AVFrame* frame, int fallback);
