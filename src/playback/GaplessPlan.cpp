#include "playback/GaplessPlan.h"

#include "common/PathRules.h"
#include "playback/EntryPicker.h"
#include "playback/PlayOrder.h"

#include <QStringList>

bool GaplessPlan::bringsUpVideoWindow(const QString &upperExt)
{
    static const QStringList video = {QStringLiteral(".AVI"), QStringLiteral(".ASF"), QStringLiteral(".MPG"),
                                      QStringLiteral(".MPEG"), QStringLiteral(".WMV")};
    return video.contains(upperExt);
}

namespace {

enum class MediaKind { Unknown, Audio, Video };

MediaKind kindOf(const QString &upperExt)
{
    static const QStringList audio = {QStringLiteral(".MP3"), QStringLiteral(".WAV"), QStringLiteral(".WAVE"),
                                      QStringLiteral(".MID"), QStringLiteral(".MIDI"), QStringLiteral(".AIF"),
                                      QStringLiteral(".SND"), QStringLiteral(".AU"), QStringLiteral(".WMA"),
                                      QStringLiteral(".OGG"), QStringLiteral(".FLAC"), QStringLiteral(".AAC"),
                                      QStringLiteral(".M4A"), QStringLiteral(".M4B")};
    // Besides the extensions that bring up the video window.
    static const QStringList video = {QStringLiteral(".OGM"), QStringLiteral(".MP4"), QStringLiteral(".FLV"),
                                      QStringLiteral(".MKV")};
    if (audio.contains(upperExt))
        return MediaKind::Audio;
    if (GaplessPlan::bringsUpVideoWindow(upperExt) || video.contains(upperExt))
        return MediaKind::Video;
    return MediaKind::Unknown;
}

} // namespace

bool GaplessPlan::canFollow(const QString &previousPath, const QString &path, bool videoWindowShown)
{
    // Only sound follows sound: playbin 1.22 deadlocks in its own stream switch when a
    // video follows a video (a pad activation waits for a stream lock that the
    // multiqueue thread holds while it pushes into the switch), and stalls from video to
    // audio. Video entries end and the next is loaded into the same pipeline.
    Q_UNUSED(videoWindowShown);
    return kindOf(path_rules::upperExtensionOf(path)) == MediaKind::Audio
           && kindOf(path_rules::upperExtensionOf(previousPath)) == MediaKind::Audio;
}

QString GaplessPlan::plan(const PlayOrder &order, const Entry &current, bool videoWindowShown)
{
    const Entry &after = handed_.isEmpty() ? current : handed_.last();
    planned_ = Entry{};
    if (after.path.isEmpty())
        return {};
    const int index = entry_picker::nextAfter(after.index, order.entryCount());
    if (index < 0)
        return {};
    const QString path = order.entryPath(index);
    if (!canFollow(after.path, path, videoWindowShown))
        return {};
    planned_ = Entry{index, path};
    return path;
}

bool GaplessPlan::handed(const QString &path)
{
    const bool planned = !planned_.path.isEmpty() && planned_.path == path;
    // An entry the plan no longer names is checked again when it starts (it is not
    // the one the rule picks then, so it ends the ordinary way).
    handed_.append(planned ? planned_ : Entry{-1, path});
    planned_ = Entry{};
    return planned;
}

std::optional<GaplessPlan::Entry> GaplessPlan::started()
{
    if (handed_.isEmpty())
        return std::nullopt;
    return handed_.takeFirst();
}

void GaplessPlan::clear()
{
    planned_ = Entry{};
    handed_.clear();
}
