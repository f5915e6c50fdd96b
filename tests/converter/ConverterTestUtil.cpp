#include "ConverterTestUtil.h"

#include "../fixtures/media/MediaMaker.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <cmath>

namespace conv_test {

QByteArray sinePcm(int frames, int channels, int sampleRate, double frequencyHz)
{
    QByteArray pcm(frames * channels * 2, Qt::Uninitialized);
    auto *p = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < frames; ++i) {
        const auto v = qint16(std::lround(12000 * std::sin(2 * M_PI * frequencyHz * i / sampleRate)));
        for (int c = 0; c < channels; ++c)
            *p++ = qToLittleEndian(v);
    }
    return pcm;
}

QByteArray riff(const QList<Chunk> &chunks)
{
    QByteArray body("WAVE");
    for (const Chunk &c : chunks) {
        char size[4];
        qToLittleEndian(quint32(c.body.size()), size);
        body += c.id + QByteArray(size, 4) + c.body;
        if (c.body.size() & 1)
            body += '\0';
    }
    char size[4];
    qToLittleEndian(quint32(body.size()), size);
    return QByteArray("RIFF") + QByteArray(size, 4) + body;
}

QByteArray fmtChunk(int channels, int sampleRate, int bits, int formatTag)
{
    QByteArray f(16, '\0');
    const int align = channels * bits / 8;
    qToLittleEndian(quint16(formatTag), f.data());
    qToLittleEndian(quint16(channels), f.data() + 2);
    qToLittleEndian(quint32(sampleRate), f.data() + 4);
    qToLittleEndian(quint32(sampleRate * align), f.data() + 8);
    qToLittleEndian(quint16(align), f.data() + 12);
    qToLittleEndian(quint16(bits), f.data() + 14);
    return f;
}

bool write(const QString &path, const QByteArray &bytes)
{
    return media_maker::writeFile(path, bytes);
}

bool claimFlacFrames(const QString &path, qint64 frames)
{
    QByteArray flac = read(path);
    // "fLaC", a block header, then STREAMINFO: 10 bytes, then 64 bits of rate (20),
    // channels (3), bits (5) and the total of frames (36), big-endian.
    if (flac.size() < 26 || !flac.startsWith("fLaC") || (flac[4] & 0x7f) != 0)
        return false;
    quint64 packed = qFromBigEndian<quint64>(flac.constData() + 18);
    packed = (packed & ~((quint64(1) << 36) - 1)) | (quint64(frames) & ((quint64(1) << 36) - 1));
    qToBigEndian(packed, flac.data() + 18);
    return write(path, flac);
}

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool encodeTone(const QString &path, int sampleRate, int channels, int durationMs, double frequencyHz)
{
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                     QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=%3")
                         .arg(frequencyHz)
                         .arg(sampleRate)
                         .arg(durationMs / 1000.0, 0, 'f', 3),
                     QStringLiteral("-ac"), QString::number(channels)};
    if (path.endsWith(QLatin1String(".wma")))
        args << QStringLiteral("-c:a") << QStringLiteral("wmav2") << QStringLiteral("-b:a") << QStringLiteral("96k");
    else if (path.endsWith(QLatin1String(".ogg")))
        args << QStringLiteral("-c:a") << QStringLiteral("libvorbis");
    else if (path.endsWith(QLatin1String(".mp3")))
        args << QStringLiteral("-c:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a") << QStringLiteral("128k");
    args << path;
    return media_maker::runTool(QStringLiteral("ffmpeg"), args);
}

QByteArray ffmpegPcm(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                       QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-acodec"),
                                       QStringLiteral("pcm_s16le"), QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

QPair<int, int> probe(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                        QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                                        QStringLiteral("stream=channels,sample_rate"), QStringLiteral("-of"),
                                        QStringLiteral("csv=p=0"), path});
    if (!p.waitForFinished(30000))
        return {};
    const QList<QByteArray> parts = p.readAllStandardOutput().trimmed().split(',');
    if (parts.size() < 2) // "44100,2" or "44100,2," when the stream has side data
        return {};
    return {parts[1].toInt(), parts[0].toInt()}; // csv order: sample_rate,channels
}

double toneFrequency(const QByteArray &pcm, int channels, int sampleRate)
{
    const auto *p = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype frames = pcm.size() / 2 / channels;
    int crossings = 0;
    for (qsizetype i = 1; i < frames; ++i)
        if ((p[(i - 1) * channels] < 0) != (p[i * channels] < 0))
            ++crossings;
    return frames ? crossings / 2.0 * sampleRate / double(frames) : 0;
}

} // namespace conv_test
