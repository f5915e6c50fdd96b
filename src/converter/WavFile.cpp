#include "converter/WavFile.h"

#include <QIODevice>
#include <QtEndian>

namespace wav_file {

namespace {

quint32 le32(const char *p) { return qFromLittleEndian<quint32>(p); }
quint16 le16(const char *p) { return qFromLittleEndian<quint16>(p); }

void put32(QByteArray &b, quint32 v)
{
    char p[4];
    qToLittleEndian(v, p);
    b.append(p, 4);
}

void put16(QByteArray &b, quint16 v)
{
    char p[2];
    qToLittleEndian(v, p);
    b.append(p, 2);
}

} // namespace

bool Format::isPcm16() const
{
    const int tag = formatTag == 0xFFFE ? subFormatTag : formatTag;
    return tag == 1 && bitsPerSample == 16 && channels > 0 && sampleRate > 0
           && blockAlign == channels * 2;
}

Kind readFormat(QIODevice &file, Format &format)
{
    format = Format();
    if (!file.seek(0))
        return Kind::NotWave;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || riff.mid(8, 4) != "WAVE")
        return Kind::NotWave;
    const qint64 fileSize = file.size();
    bool haveFmt = false;
    qint64 pos = 12;
    // Chunks follow one another, each padded to an even length.
    while (pos + 8 <= fileSize) {
        if (!file.seek(pos))
            break;
        const QByteArray head = file.read(8);
        if (head.size() < 8)
            break;
        const QByteArray id = head.left(4);
        const quint32 size = le32(head.constData() + 4);
        const qint64 body = pos + 8;
        if (id == "fmt ") {
            const QByteArray fmt = file.read(qMin<qint64>(size, 40));
            if (fmt.size() < 16)
                return Kind::Broken;
            format.formatTag = le16(fmt.constData());
            format.channels = le16(fmt.constData() + 2);
            format.sampleRate = int(le32(fmt.constData() + 4));
            format.blockAlign = le16(fmt.constData() + 12);
            format.bitsPerSample = le16(fmt.constData() + 14);
            if (format.formatTag == 0xFFFE && fmt.size() >= 26)
                format.subFormatTag = le16(fmt.constData() + 24);
            haveFmt = true;
        } else if (id == "data") {
            if (!haveFmt)
                return Kind::Broken;
            format.dataOffset = body;
            // Streamed writers leave the size at 0 or all ones: the audio runs to the end.
            const bool unstated = size == 0xFFFFFFFFu || (size == 0 && fileSize > body);
            format.dataSize = unstated ? fileSize - body : qint64(size);
            return Kind::Wave;
        }
        pos = body + qint64(size) + (size & 1);
    }
    return Kind::Broken;
}

QByteArray header(int channels, int sampleRate, int bitsPerSample, quint32 riffSize, quint32 dataSize)
{
    const int blockAlign = channels * bitsPerSample / 8;
    QByteArray b;
    b.reserve(44);
    b.append("RIFF");
    put32(b, riffSize);
    b.append("WAVEfmt ");
    put32(b, 16);
    put16(b, 1);
    put16(b, quint16(channels));
    put32(b, quint32(sampleRate));
    put32(b, quint32(blockAlign * sampleRate));
    put16(b, quint16(blockAlign));
    put16(b, quint16(bitsPerSample));
    b.append("data");
    put32(b, dataSize);
    return b;
}

} // namespace wav_file
