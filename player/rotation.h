#pragma once
// The turn a video or photo asks to be shown with: phones store portrait
// pictures landscape, with a display matrix or an orientation beside them.
struct AVFrame;
struct AVStream;

// Clockwise turn the stream's display matrix asks for: 0, 90, 180 or 270.
int RotationOf(const AVStream* stream);
// The same for a decoded picture's own matrix (a photo's orientation);
// fallback when it has none.
int RotationOf(const AVFrame* frame, int fallback);
