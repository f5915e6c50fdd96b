#include "common/TextCodec.h"
#include "storage/ListFile.h"
#include "storage/ListStore.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

using Status = ListStore::LoadResult::Status;

namespace {

QByteArray compressed(const QByteArray &text)
{
    QBuffer source;
    source.setData(text);
    source.open(QIODevice::ReadOnly);
    QBuffer destination;
    destination.open(QIODevice::WriteOnly);
    if (!list_file::CompressStream(source, destination))
        return {};
    return destination.data();
}

bool inflate(const QByteArray &stream, QByteArray *text = nullptr)
{
    QBuffer source;
    source.setData(stream);
    source.open(QIODevice::ReadOnly);
    QBuffer destination;
    destination.open(QIODevice::ReadWrite);
    const bool ok = list_file::DecompressStream(source, destination);
    if (text)
        *text = destination.data();
    return ok;
}

// One zlib stream of the pieces, each deflated at its own level (0: stored blocks).
QByteArray streamOf(const QList<QPair<QByteArray, int>> &pieces)
{
    z_stream z{};
    if (deflateInit(&z, pieces.isEmpty() ? 9 : pieces.first().second) != Z_OK)
        return {};
    QByteArray out;
    char buffer[1 << 16];
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            deflateParams(&z, pieces[i].second, Z_DEFAULT_STRATEGY);
        const bool last = i + 1 == pieces.size();
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(pieces[i].first.constData()));
        z.avail_in = static_cast<uInt>(pieces[i].first.size());
        int rc;
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer);
            z.avail_out = sizeof buffer;
            rc = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
            out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        } while (last ? rc != Z_STREAM_END : z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray kTwoEntryStream = QByteArray::fromHex(
    "78da73b68a49d4cb2d30e6e572b18a49d24b2ccbe4e5020039fb0551");
const QByteArray kEmptyStream = QByteArray::fromHex("78da030000000001");

} // namespace

class TestListFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void storesExactZlibBytes_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("two entries") << QStringList{"C:\\a.mp3", "D:\\b.avi"} << kTwoEntryStream;
        QTest::newRow("empty list") << QStringList{} << kEmptyStream;
    }
    void storesExactZlibBytes()
    {
        QFETCH(QStringList, entries);
        QFETCH(QByteArray, stored);
        const QString path = dir_->filePath("playlist.st3");
        QString error;
        QVERIFY2(ListStore::saveList(path, entries, &error), qPrintable(error));
        QCOMPARE(readFile(path).toHex(' '), stored.toHex(' '));

        const auto result = ListStore::loadList(path, true);
        QCOMPARE(result.status, Status::Loaded);
        QCOMPARE(result.entries, entries);
    }

    void compressReadsSourceFromStartAndWritesAtDestinationPosition()
    {
        QBuffer source;
        source.setData("C:\\a.mp3\r\nD:\\b.avi\r\n");
        source.open(QIODevice::ReadOnly);
        source.seek(7);
        QBuffer destination;
        destination.open(QIODevice::ReadWrite);
        destination.write("prefix");
        QVERIFY(list_file::CompressStream(source, destination));
        QCOMPARE(destination.data(), "prefix" + kTwoEntryStream);
    }

    void decompressStartsAtSourcePositionAndRewindsDestination()
    {
        QBuffer source;
        source.setData("junk" + kTwoEntryStream);
        source.open(QIODevice::ReadOnly);
        source.seek(4);
        QBuffer destination;
        destination.open(QIODevice::ReadWrite);
        destination.write("old:");
        QVERIFY(list_file::DecompressStream(source, destination));
        QCOMPARE(destination.pos(), 0);
        QCOMPARE(destination.readAll(), QByteArray("old:C:\\a.mp3\r\nD:\\b.avi\r\n"));

        // Nothing left in the source: nothing written, still a success.
        QBuffer again;
        again.open(QIODevice::ReadWrite);
        again.write("keep");
        QVERIFY(list_file::DecompressStream(source, again));
        QCOMPARE(again.pos(), 0);
        QCOMPARE(again.data(), QByteArray("keep"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("czech") << QStringList{QStringLiteral("/hudba/Příliš žluťoučký kůň.mp3"),
                                              QStringLiteral("/video/Úpěl ďábelské ódy.avi")};
        QTest::newRow("empty entry in the middle") << QStringList{"a", "", "b"};
        QTest::newRow("one empty entry") << QStringList{""};
        QTest::newRow("spaces kept") << QStringList{"  lead", "trail  "};
        QStringList many;
        for (int i = 0; i < 50000; ++i)
            many << QStringLiteral("/data/media/složka %1/skladba %2.mp3").arg(i % 97).arg(i);
        QTest::newRow("larger than one inflate chunk") << many;
    }
    void roundTrip()
    {
        QFETCH(QStringList, entries);
        const QString path = dir_->filePath("radia.st3");
        QVERIFY(ListStore::saveList(path, entries));
        const auto result = ListStore::loadList(path, false);
        QCOMPARE(result.status, Status::Loaded);
        QCOMPARE(result.entries, entries);
    }

    void readsTextRules_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("entries");
        const QStringList ab{"a", "b"};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << ab;
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << ab;
        QTest::newRow("lone LF") << QByteArray("a\nb\n") << ab;
        QTest::newRow("no final break") << QByteArray("a\r\nb") << ab;
        QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("ends at zero byte") << QByteArray("a\r\nb\r\n\0c\r\n", 10) << ab;
        QTest::newRow("zero byte mid-line") << QByteArray("a\r\nb\0xyz", 8) << ab;
        QTest::newRow("zero byte first") << QByteArray("\0a\r\n", 4) << QStringList{};
        QTest::newRow("windows-1250")
            << QByteArray::fromHex("50f8ed6c699a0d0a9e6c759d6f75e86bfd0d0a")
            << QStringList{QStringLiteral("Příliš"), QStringLiteral("žluťoučký")};
        QTest::newRow("utf-8") << QStringLiteral("Příliš\r\n").toUtf8() << QStringList{QStringLiteral("Příliš")};
        // One line of the old code page spoils no other line.
        QTest::newRow("utf-8 and one windows-1250 line")
            << QStringLiteral("Příliš\r\n").toUtf8() + QByteArray::fromHex("9e6c759d6f75e86bfd0d0a") + QStringLiteral("kůň\r\n").toUtf8()
            << QStringList{QStringLiteral("Příliš"), QStringLiteral("žluťoučký"), QStringLiteral("kůň")};
        // The format has no byte order mark: these bytes begin a name (one given relative
        // on the command line) and stay.
        QTest::newRow("EF BB BF begins the first entry")
            << QByteArray("\xEF\xBB\xBF" "a.mp3\r\n") << QStringList{QChar(0xFEFF) + QStringLiteral("a.mp3")};
    }
    void readsTextRules()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, entries);
        QCOMPARE(list_file::textToList(text), entries);
        // The same through a stored file.
        const QString path = dir_->filePath("playlist.st3");
        writeFile(path, compressed(text));
        const auto result = ListStore::loadList(path, true);
        QCOMPARE(result.entries, entries);
        // Entries after a zero byte would be lost at the next save: the file is kept.
        if (list_file::hasTextAfterZero(text)) {
            QCOMPARE(result.status, Status::CutAtZero);
            QCOMPARE(readFile(result.movedAsidePath), compressed(text));
        } else {
            QCOMPARE(result.status, Status::Loaded);
        }
    }

    // File names that are not UTF-8 keep their bytes: decoded, stored, read back and
    // encoded again they name the same file.
    void fileNameBytesRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("latin-1 byte") << QByteArray("/hudba/caf\xe9.wav");
        QTest::newRow("two stray bytes together") << QByteArray("/x/\xff\xfe.mp3");
        QTest::newRow("cut-off sequence at the end") << QByteArray("/x/a\xc5");
        QTest::newRow("encoded surrogate in the name") << QByteArray("/x/\xed\xb2\x80.mp3");
        QTest::newRow("valid utf-8 with a stray byte") << QByteArray("/P\xc5\x99\xedli\x9a.ogg");
        QTest::newRow("plain utf-8") << QStringLiteral("/hudba/Píseň.mp3").toUtf8();
        QTest::newRow("relative, EF BB BF first") << QByteArray("\xEF\xBB\xBF" "a.mp3");
        QTest::newRow("EF BB BF twice, then a stray byte") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xff");
    }
    void fileNameBytesRoundTrip()
    {
        QFETCH(QByteArray, name);
        const QString decoded = text_codec::decodeFileName(name);
        QCOMPARE(text_codec::encodeFileName(decoded), name);
        const QString path = dir_->filePath("playlist.st3");
        QVERIFY(ListStore::saveList(path, {decoded, QStringLiteral("/next.mp3")}));
        const QStringList back = ListStore::loadList(path, false).entries;
        QCOMPARE(back.size(), 2);
        QCOMPARE(text_codec::encodeFileName(back.first()), name);
        QCOMPARE(back.last(), QStringLiteral("/next.mp3"));
    }

    void writesUtf8WithCrLfAfterEveryEntry()
    {
        QCOMPARE(list_file::listToText({QStringLiteral("ž"), "x"}), QByteArray("\xc5\xbe\r\nx\r\n"));
        QCOMPARE(list_file::listToText({}), QByteArray());
    }

    void zeroByteFileIsEmptyList()
    {
        const QString path = dir_->filePath("playlist.st3");
        writeFile(path, {});
        const auto result = ListStore::loadList(path, true);
        QCOMPARE(result.status, Status::Loaded);
        QVERIFY(result.entries.isEmpty());
        QVERIFY(QFile::exists(path));
    }

    void missingFile()
    {
        const QString path = dir_->filePath("playlist.st3");
        auto result = ListStore::loadList(path, false);
        QCOMPARE(result.status, Status::Missing);
        QVERIFY(!QFile::exists(path));

        result = ListStore::loadList(path, true);
        QCOMPARE(result.status, Status::CreatedEmpty);
        QVERIFY(result.entries.isEmpty());
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);

        result = ListStore::loadList(dir_->filePath("no/such/dir/playlist.st3"), true);
        QCOMPARE(result.status, Status::Unreadable);
        QVERIFY2(result.error.startsWith("Cannot create file \""), qPrintable(result.error));
    }

    void damagedFileIsMovedAsideIntact_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QByteArray random(300, Qt::Uninitialized);
        QRandomGenerator rng(1250);
        for (auto &b : random)
            b = char(rng.bounded(256));
        random[0] = 'R'; // not a zlib header
        QByteArray flippedAdler = kTwoEntryStream;
        flippedAdler[flippedAdler.size() - 1] = char(flippedAdler.back() ^ 0x01);
        QByteArray badData = kTwoEntryStream;
        badData[4] = char(0xff);
        QTest::newRow("random bytes") << random;
        QTest::newRow("truncated stream") << kTwoEntryStream.left(kTwoEntryStream.size() - 5);
        QTest::newRow("header only") << kTwoEntryStream.left(2);
        QTest::newRow("flipped adler byte") << flippedAdler;
        QTest::newRow("corrupt deflate data") << badData;
        QTest::newRow("bad header check") << QByteArray("\x78\xdb") + kTwoEntryStream.mid(2);
        QTest::newRow("plain text") << QByteArray("C:\\a.mp3\r\n");
        QTest::newRow("inflates beyond 64 MiB") << compressed(QByteArray(list_file::MaxTextBytes + 1, 'a'));
    }
    // The bound on the inflated text, reached and crossed in other ways than one long
    // run (that is a row of the damaged files below).
    void boundOnInflatedText_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<bool>("accepted");
        const qsizetype bound = list_file::MaxTextBytes;
        QTest::newRow("exactly the bound") << streamOf({{QByteArray(bound, 'a'), 9}}) << true;
        QTest::newRow("crossed inside a stored block")
            << streamOf({{QByteArray(bound - 100, 'a'), 9}, {QByteArray(1000, 'b'), 0}}) << false;
        QTest::newRow("a stored block ends at the bound")
            << streamOf({{QByteArray(bound - 1000, 'a'), 9}, {QByteArray(1000, 'b'), 0}}) << true;
    }
    void boundOnInflatedText()
    {
        QFETCH(QByteArray, stream);
        QFETCH(bool, accepted);
        QByteArray text;
        QCOMPARE(inflate(stream, &text), accepted);
        QCOMPARE(text.size(), accepted ? list_file::MaxTextBytes : 0);
    }

    void damagedFileIsMovedAsideIntact()
    {
        QFETCH(QByteArray, stored);
        QByteArray text = "untouched";
        QVERIFY(!inflate(stored, &text));
        QVERIFY(text.isEmpty()); // nothing written on failure

        const QString path = dir_->filePath("playlist.st3");
        writeFile(path, stored);
        const auto result = ListStore::loadList(path, true);
        QCOMPARE(result.status, Status::Damaged);
        QVERIFY(result.entries.isEmpty());
        QVERIFY(result.safeToReplace);
        QVERIFY(result.movedAsidePath.startsWith(path + ".damaged-"));
        QCOMPARE(readFile(result.movedAsidePath), stored);
        QVERIFY(!QFile::exists(path));

        // The next save does not touch the moved file.
        QVERIFY(ListStore::saveList(path, {"new"}));
        QCOMPARE(readFile(result.movedAsidePath), stored);
    }

    void garbageAfterCompleteStreamIsAccepted()
    {
        // The checksum has vouched for every entry; the tail cannot hold any.
        const QString path = dir_->filePath("playlist.st3");
        writeFile(path, kTwoEntryStream + "trailing garbage");
        const auto result = ListStore::loadList(path, true);
        QCOMPARE(result.status, Status::Loaded);
        QCOMPARE(result.entries, (QStringList{"C:\\a.mp3", "D:\\b.avi"}));
    }

    void asidePathCountsUpWhenTaken()
    {
        const QString path = dir_->filePath("radia.st3");
        const QDateTime when(QDate(2024, 3, 9), QTime(7, 5, 1));
        const QString first = path + ".damaged-20240309-070501";
        QCOMPARE(ListStore::asidePathFor(path, when), first);
        writeFile(first, "1");
        QCOMPARE(ListStore::asidePathFor(path, when), first + "-2");
        writeFile(first + "-2", "2");
        QCOMPARE(ListStore::asidePathFor(path, when), first + "-3");
    }

    void unreadablePathIsLeftAlone()
    {
        // A directory in the file's place cannot be read by anyone, root included.
        const QString path = dir_->filePath("playlist.st3");
        QVERIFY(QDir(dir_->path()).mkdir("playlist.st3"));
        const auto result = ListStore::loadList(path, true);
        QCOMPARE(result.status, Status::Unreadable);
        QVERIFY(!result.safeToReplace);
        QVERIFY2(result.error.contains(path), qPrintable(result.error));
        QVERIFY(QFileInfo(path).isDir());

        if (::geteuid() == 0)
            return; // permissions do not bind root
        const QString locked = dir_->filePath("radia.st3");
        writeFile(locked, kTwoEntryStream);
        QFile::setPermissions(locked, {});
        const auto denied = ListStore::loadList(locked, true);
        QCOMPARE(denied.status, Status::Unreadable);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(readFile(locked), kTwoEntryStream);
    }

    void failedSaveReportsAndKeepsOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("parent is a file") << "notdir";
        QTest::newRow("read-only directory") << "readonly";
        QTest::newRow("file size limit") << "fsize";
    }
    void failedSaveReportsAndKeepsOldFile()
    {
        QFETCH(QString, how);
        QString path = dir_->filePath("sub/playlist.st3");
        QVERIFY(QDir(dir_->path()).mkdir("sub"));
        writeFile(path, kTwoEntryStream);
        QStringList entries;
        for (int i = 0; i < 200; ++i)
            entries << QStringLiteral("/a/long/path/number/%1.mp3").arg(i * 7919);

        QString error;
        bool saved = true;
        if (how == "notdir") {
            path = dir_->filePath("sub/playlist.st3/playlist.st3");
            saved = ListStore::saveList(path, entries, &error);
        } else if (how == "readonly") {
            QFile::setPermissions(dir_->filePath("sub"), QFile::ReadOwner | QFile::ExeOwner);
            QFile probe(dir_->filePath("sub/probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QFile::setPermissions(dir_->filePath("sub"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                QSKIP("directory permissions do not bind this user");
            }
            saved = ListStore::saveList(path, entries, &error);
            QFile::setPermissions(dir_->filePath("sub"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        } else {
            // A short write in the middle: the temporary file must go, the old file stay.
            struct rlimit old {};
            QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit tiny = old;
            tiny.rlim_cur = 16;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
            saved = ListStore::saveList(path, entries, &error);
            ::setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        QVERIFY(!saved);
        const QString prefix = QStringLiteral("Cannot create file \"%1\". ").arg(path);
        QVERIFY2(error.startsWith(prefix) && error.size() > prefix.size(), qPrintable(error));
        QCOMPARE(readFile(dir_->filePath("sub/playlist.st3")), kTwoEntryStream);
        QCOMPARE(QDir(dir_->filePath("sub")).entryList(QDir::Files), QStringList{"playlist.st3"});
    }

    void randomInputDoesNotCrash()
    {
        QRandomGenerator rng(20240309);
        const QByteArray valid = compressed(list_file::listToText(
            {QStringLiteral("/hudba/Příliš žluťoučký.mp3"), "C:\\a.mp3", "", "http://x:8000/a.m3u"}));
        int accepted = 0;
        for (int round = 0; round < 4000; ++round) {
            QByteArray input;
            switch (round % 4) {
            case 0: // pure noise, sometimes behind a valid header
                input.resize(rng.bounded(1, 512));
                for (auto &b : input)
                    b = char(rng.bounded(256));
                if (rng.bounded(2))
                    input.replace(0, qMin<qsizetype>(2, input.size()), "\x78\xda");
                break;
            case 1: // a valid stream with flipped bits
                input = valid;
                for (int k = rng.bounded(1, 4); k > 0; --k)
                    input[rng.bounded(int(input.size()))] ^= char(1 << rng.bounded(8));
                break;
            case 2: // cut short
                input = valid.left(rng.bounded(int(valid.size())));
                break;
            default: // a valid stream of random text
                QByteArray text(rng.bounded(0, 400), Qt::Uninitialized);
                for (auto &b : text)
                    b = char(rng.bounded(256));
                input = compressed(text);
                QByteArray back;
                QVERIFY(inflate(input, &back));
                QCOMPARE(back, text);
                break;
            }
            QByteArray text;
            if (inflate(input, &text))
                ++accepted;
            (void)list_file::textToList(text);
            (void)list_file::textToList(input);
        }
        QVERIFY(accepted >= 1000); // the valid-stream rounds at least
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(TestListFile)
#include "test_listfile.moc"
