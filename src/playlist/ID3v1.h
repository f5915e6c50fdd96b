#pragma once
// ID3 version 1 (and 1.1) trailer reader: the last 128 bytes of a file.
// Text fields keep the tag's bytes as they are; displayTitle() decodes for the screen.
#include <QByteArray>
#include <QString>

#include <cstdint>

class TID3v1 {
public:
    TID3v1();

    void Clear();
    // false only when the last 128 bytes cannot be read (fields then stay reset).
    bool ReadFromPath(const QString &path);
    static bool ReadTrailer(const QString &path, unsigned char (&buffer)[128]);
    static std::uint8_t DetectVersion(const unsigned char (&trailer)[128]);

    // The title as shown: up to its first NUL byte, UTF-8 when valid, else Windows-1250.
    QString displayTitle() const;

    bool HasTag;
    std::uint8_t TagVersion;
    QByteArray Title;
    QByteArray Artist;
    QByteArray Album;
    QByteArray Year;
    QByteArray Comment;
    std::uint8_t Track;
    std::uint8_t Genre;
};
