#pragma once
// Opening a stream's decoder, the same way for playback and still pictures.
struct AVCodecContext;
struct AVFrame;
struct AVStream;

// Finds, sets up and opens the decoder for a stream: preferredName names a
// decoder to use instead of the default one when it exists; a single-
// threaded decoder neither splits frames nor slices over threads. Null on
// any failure (nothing is left allocated).
AVCodecContext* OpenDecoder(const AVStream* stream, const char* preferredName, bool singleThreaded);

// Clockwise turn the stream's display matrix asks for: 0, 90, 180 or 270.
int RotationOf(const AVStream* stream);
// The same for a decoded picture's own matrix (a photo's orientation);
// fallback when it has none.
int RotationOf(const AVFrame* frame, int fallback);
