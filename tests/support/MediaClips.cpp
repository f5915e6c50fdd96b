#include "support/MediaClips.h"

#include <QProcess>

bool makeStillColourClip(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                            "color=c=0x806040:s=320x240:r=25:d=20", "-c:v", "mpeg2video", "-q:v",
                                            "2", path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}
