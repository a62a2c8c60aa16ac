#pragma once
// The one media player of the program. Opening, decoding and the panel
// arrive with the player core; until then the shell's calls are no-ops.
class MediaPlayer {
 public:
  // Publishes the newest due video frame; first thing of every GUI frame.
  void UpdateFrame();
  // Pauses playback (before the folder chooser opens).
  void Pause();
  // Drops the media on show so its file can be moved, revealed or deleted.
  void Unload();
};

extern MediaPlayer Player;
