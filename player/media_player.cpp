#include "player/media_player.h"

MediaPlayer Player;

void MediaPlayer::UpdateFrame() {}
void MediaPlayer::Pause() {}
void MediaPlayer::Unload() {}
