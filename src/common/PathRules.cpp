#include "common/PathRules.h"

namespace path_rules {

QString fileNameOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString extensionOf(const QString &path)
{
    const QString name = fileNameOf(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QString upperExtensionOf(const QString &path)
{
    QString ext = extensionOf(path);
    for (QChar &c : ext) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return ext;
}

QString directoryOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

const QStringList &mediaExtensions()
{
    static const QStringList list = {
        ".MP3", ".WAV", ".WAVE", ".IFO", ".VOB", ".MID", ".MIDI", ".ASF", ".AIF",
        ".SND", ".AU", ".WMA", ".MPG", ".MPEG", ".WMV", ".AVI", ".OGG", ".OGM",
        ".CDA", ".MP4", ".FLAC", ".FLV", ".MKV", ".AAC", ".M4A", ".M4B"};
    return list;
}

const QStringList &handOffExtensions()
{
    static const QStringList list = [] {
        QStringList l = mediaExtensions();
        l.removeAll(QStringLiteral(".VOB"));
        return l;
    }();
    return list;
}

bool isAcceptedForDrop(const QString &path)
{
    return mediaExtensions().contains(upperExtensionOf(path));
}

bool isAcceptedForHandOff(const QString &path)
{
    return handOffExtensions().contains(upperExtensionOf(path));
}

} // namespace path_rules
