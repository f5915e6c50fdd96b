#include "playlist/ID3v1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray padded(const QByteArray &bytes, int size, char fill = '\0')
{
    return (bytes + QByteArray(size, fill)).left(size);
}

// A 128-byte trailer; comment30 is the whole 30-byte comment area (bytes 97..126).
QByteArray trailer(const QByteArray &title, const QByteArray &comment30 = {},
                   unsigned char genre = 12, const char *magic = "TAG")
{
    QByteArray t(magic, 3);
    t += padded(title, 30);
    t += padded("Artist  ", 30, ' ');
    t += padded("Album", 30);
    t += "1999";
    t += padded(comment30, 30);
    t += char(genre);
    return t;
}

// Comment area with explicit bytes at offsets 125 and 126 of the trailer.
QByteArray commentWith(const QByteArray &text, unsigned char b125, unsigned char b126)
{
    QByteArray c = padded(text, 28);
    c += char(b125);
    c += char(b126);
    return c;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void verifyReset(const TID3v1 &tag)
{
    QCOMPARE(tag.HasTag, false);
    QCOMPARE(tag.TagVersion, 1);
    QVERIFY(tag.Title.isEmpty() && tag.Artist.isEmpty() && tag.Album.isEmpty());
    QVERIFY(tag.Year.isEmpty() && tag.Comment.isEmpty());
    QCOMPARE(tag.Track, 0);
    QCOMPARE(tag.Genre, 255);
}

} // namespace

class TestID3v1 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void readsTrailer_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("hasTag");
        QTest::addColumn<int>("version");
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<int>("track");
        QTest::addColumn<int>("genre");

        const QByteArray audio(4000, '\xff');
        QTest::newRow("exactly 128 bytes") << trailer("Song") << true << 1 << QByteArray("Song")
                                           << QByteArray() << 0 << 12;
        QTest::newRow("after audio") << audio + trailer("Song") << true << 1 << QByteArray("Song")
                                     << QByteArray() << 0 << 12;
        QTest::newRow("lowercase tag") << trailer("Song", {}, 12, "tag") << false << 1 << QByteArray()
                                       << QByteArray() << 0 << 255;
        QTest::newRow("no trailer") << audio << false << 1 << QByteArray() << QByteArray() << 0 << 255;
        // ID3v2.4 header (10 bytes) and one TIT2 frame, then padding.
        QByteArray id3v2 = QByteArray::fromHex("49443304000000000200") + "TIT2"
                           + QByteArray::fromHex("00000005000003") + "Song";
        id3v2 += QByteArray(256 - id3v2.size(), '\0') + audio;
        QTest::newRow("ID3v2 only") << id3v2 << false << 1 << QByteArray() << QByteArray() << 0 << 255;
        QTest::newRow("NUL and space padding") << trailer(QByteArray("Song \0 \0\0  \0", 12)) << true << 1
                                               << QByteArray("Song") << QByteArray() << 0 << 12;
        QTest::newRow("30 spaces") << trailer(QByteArray(30, ' ')) << true << 1 << QByteArray()
                                   << QByteArray() << 0 << 12;
        QTest::newRow("control bytes trimmed, high bytes kept")
            << trailer("Kon\xec\xe8\t\x01\x1f") << true << 1 << QByteArray("Kon\xec\xe8") << QByteArray()
            << 0 << 12;
        QTest::newRow("NUL inside title kept") << trailer(QByteArray("Abc\0Def", 7)) << true << 1
                                               << QByteArray("Abc\0Def", 7) << QByteArray() << 0 << 12;
        QTest::newRow("125=0 126=7: v1.1") << trailer("S", commentWith("Note", 0, 7)) << true << 2
                                           << QByteArray("S") << QByteArray("Note") << 7 << 12;
        QTest::newRow("125=0 126=0: v1") << trailer("S", commentWith("Note", 0, 0)) << true << 1
                                         << QByteArray("S") << QByteArray("Note") << 0 << 12;
        QTest::newRow("125=0x20 126=0x41: v1.1") << trailer("S", commentWith("Note", 0x20, 0x41)) << true
                                                  << 2 << QByteArray("S") << QByteArray("Note") << 65 << 12;
        QTest::newRow("125=0x20 126=0x20: v1") << trailer("S", commentWith("Note", 0x20, 0x20)) << true
                                                << 1 << QByteArray("S") << QByteArray("Note") << 0 << 12;
        QTest::newRow("v1 comment uses all 30 bytes")
            << trailer("S", commentWith(QByteArray(28, 'c'), 'x', 'y')) << true << 1 << QByteArray("S")
            << QByteArray(28, 'c') + "xy" << 0 << 12;
        QTest::newRow("v1.1 comment stops at 28 bytes")
            << trailer("S", commentWith(QByteArray(28, 'c'), 0, 200)) << true << 2 << QByteArray("S")
            << QByteArray(28, 'c') << 200 << 12;
        QTest::newRow("genre 0") << trailer("S", {}, 0) << true << 1 << QByteArray("S") << QByteArray() << 0 << 0;
        QTest::newRow("genre 255") << trailer("S", {}, 255) << true << 1 << QByteArray("S") << QByteArray()
                                   << 0 << 255;
        QTest::newRow("genre 147") << trailer("S", {}, 147) << true << 1 << QByteArray("S") << QByteArray()
                                   << 0 << 147;
    }
    void readsTrailer()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, hasTag);
        QFETCH(int, version);
        QFETCH(QByteArray, title);
        QFETCH(QByteArray, comment);
        QFETCH(int, track);
        QFETCH(int, genre);

        const QString path = dir_.filePath("song.mp3");
        QVERIFY(writeFile(path, file));
        TID3v1 tag;
        QVERIFY(tag.ReadFromPath(path));
        QCOMPARE(tag.HasTag, hasTag);
        QCOMPARE(int(tag.TagVersion), version);
        QCOMPARE(tag.Title, title);
        QCOMPARE(tag.Comment, comment);
        QCOMPARE(int(tag.Track), track);
        QCOMPARE(int(tag.Genre), genre);
        if (hasTag) {
            QCOMPARE(tag.Artist, QByteArray("Artist"));
            QCOMPARE(tag.Album, QByteArray("Album"));
            QCOMPARE(tag.Year, QByteArray("1999"));
        } else {
            verifyReset(tag);
        }

    }

    void unreadableFilesGiveFalseWithFieldsReset_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("127 bytes") << "short.mp3";
        QTest::newRow("empty file") << "empty.mp3";
        QTest::newRow("missing") << "missing.mp3";
        QTest::newRow("directory") << "folder.mp3";
        QTest::newRow("fifo") << "pipe.mp3";
    }
    void unreadableFilesGiveFalseWithFieldsReset()
    {
        QFETCH(QString, name);
        const QString path = dir_.filePath(name);
        if (name == "short.mp3")
            QVERIFY(writeFile(path, trailer("Song").mid(1)));
        else if (name == "empty.mp3")
            QVERIFY(writeFile(path, {}));
        else if (name == "folder.mp3")
            QVERIFY(QDir(dir_.path()).mkpath(name));
        else if (name == "pipe.mp3" && !QFile::exists(path))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); // must not block

        // A previous successful read must not leak into the failed one.
        const QString good = dir_.filePath("good.mp3");
        QVERIFY(writeFile(good, trailer("Song", commentWith("c", 0, 3), 7)));
        TID3v1 tag;
        QVERIFY(tag.ReadFromPath(good));
        QVERIFY(tag.HasTag);
        QVERIFY(!tag.ReadFromPath(path));
        verifyReset(tag);
    }

    void detectVersion_data()
    {
        QTest::addColumn<int>("b125");
        QTest::addColumn<int>("b126");
        QTest::addColumn<int>("version");
        QTest::newRow("0 7") << 0 << 7 << 2;
        QTest::newRow("0 0") << 0 << 0 << 1;
        QTest::newRow("0x20 0x41") << 0x20 << 0x41 << 2;
        QTest::newRow("0x20 0x20") << 0x20 << 0x20 << 1;
        QTest::newRow("0x20 0") << 0x20 << 0 << 2;
        QTest::newRow("0 0x20") << 0 << 0x20 << 2;
        QTest::newRow("letters") << int('a') << int('b') << 1;
    }
    void detectVersion()
    {
        QFETCH(int, b125);
        QFETCH(int, b126);
        QFETCH(int, version);
        unsigned char raw[128] = {};
        raw[125] = static_cast<unsigned char>(b125);
        raw[126] = static_cast<unsigned char>(b126);
        QCOMPARE(int(TID3v1::DetectVersion(raw)), version);
    }

    void displayTitle_data()
    {
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QString>("shown");
        QTest::newRow("stops at NUL") << QByteArray("Abc\0Def", 7) << "Abc";
        QTest::newRow("windows-1250") << QByteArray("P\xf8\xedli\x9a \x9elu\x9dou\xe8k\xfd")
                                      << QStringLiteral("Příliš žluťoučký");
        QTest::newRow("utf-8") << QStringLiteral("Kůň").toUtf8() << QStringLiteral("Kůň");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void displayTitle()
    {
        QFETCH(QByteArray, title);
        QFETCH(QString, shown);
        const QString path = dir_.filePath("shown.mp3");
        QVERIFY(writeFile(path, trailer(title)));
        TID3v1 tag;
        QVERIFY(tag.ReadFromPath(path));
        QCOMPARE(tag.displayTitle(), shown);
    }

    void readsTagBeyond4GiB()
    {
        const QString path = dir_.filePath("huge.mp3");
        const qint64 size = (qint64(5) << 30) + 77;
        const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        const QByteArray t = trailer("Far away");
        const bool sparse = ::ftruncate(fd, size - 128) == 0
                            && ::pwrite(fd, t.constData(), 128, size - 128) == 128;
        ::close(fd);
        if (!sparse) {
            QFile::remove(path);
            QSKIP("no room for a sparse 5 GiB file here");
        }
        TID3v1 tag;
        const bool ok = tag.ReadFromPath(path);
        QFile::remove(path);
        QVERIFY(ok);
        QVERIFY(tag.HasTag);
        QCOMPARE(tag.Title, QByteArray("Far away"));
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestID3v1)
#include "test_id3v1.moc"
