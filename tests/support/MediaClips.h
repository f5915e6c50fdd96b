#pragma once
// Media made at test time.
#include <QString>

// A 20 s MPEG-2 video of one still colour (0x806040, 320 x 240): every frame alike, so
// only the colour balance changes what is shown. True when ffmpeg made it.
bool makeStillColourClip(const QString &path);
