// Tables of contents read off the GUI thread: tables in the order asked, one read at a
// time, a dropped read that never answers and that libcdio is not used beside (two
// threads logging at once abort in libcdio), a cue sheet that changes while libcdio
// reads it (libcdio's own error handler would end the program), and a reader that goes
// while its read hangs.
#include "ConverterTestUtil.h"
#include "platform/CdTableReader.h"
#include "support/StalledFifo.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

constexpr int kWaitMs = 20000;

QByteArray sheet(const QByteArray &bin, int tracks)
{
    QByteArray text = "FILE \"" + bin + "\" BINARY\n";
    for (int t = 1; t <= tracks; ++t)
        text += "  TRACK 0" + QByteArray::number(t) + " AUDIO\n    INDEX 01 00:0" + QByteArray::number(t - 1) + ":00\n";
    return text;
}

// An image whose .bin is in place and whose sheet is a FIFO.
struct StalledImage {
    QTemporaryDir dir;
    StalledFifo cue{dir.filePath(QStringLiteral("disc.cue"))};
    StalledImage() { conv_test::write(dir.filePath(QStringLiteral("disc.bin")), QByteArray(600 * 2352, '\0')); }
};

} // namespace

class CdTableReaderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tablesInOrderOneReadAtATime();
    void sheetChangingWhileRead();
    void goesWhileItsReadHangs();
};

void CdTableReaderTest::tablesInOrderOneReadAtATime()
{
    QTemporaryDir dir;
    conv_test::write(dir.filePath(QStringLiteral("a.bin")), QByteArray(600 * 2352, '\0'));
    conv_test::write(dir.filePath(QStringLiteral("a.cue")), sheet("a.bin", 3));
    const QString a = dir.filePath(QStringLiteral("a.cue"));
    const QString missing = dir.filePath(QStringLiteral("gone.cue"));
    StalledImage stalled;
    QVERIFY(stalled.cue.isValid());

    CdTableReader reader;
    int droppedAnswers = 0;
    QVERIFY(reader.read({stalled.cue.path()}, false, [&](const QList<CdTableReader::Table> &) { ++droppedAnswers; }));
    QVERIFY(reader.isBusy());
    QVERIFY(!reader.read({a}, false, [](const QList<CdTableReader::Table> &) {}));
    // Dropped: its answer is not wanted, and the next read starts. That one waits for
    // libcdio until the dropped read ends, once its sheet answers (libcdio opens it
    // three times); then it answers, and the dropped read has told nobody.
    reader.drop();
    std::optional<QList<CdTableReader::Table>> tables;
    QVERIFY(reader.read({missing, a}, false, [&](const QList<CdTableReader::Table> &t) { tables = t; }));
    int served = 0;
    QTRY_VERIFY_WITH_TIMEOUT(served >= 3 || (served += stalled.cue.serveOnce(sheet("disc.bin", 2)) ? 1 : 0) >= 3,
                             kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(tables.has_value(), kWaitMs);
    QCOMPARE(droppedAnswers, 0);
    QVERIFY(!reader.isBusy());
    QCOMPARE(tables->size(), 2);
    QCOMPARE(tables->at(0).source, missing);
    QVERIFY(tables->at(0).tracks.isEmpty());
    QVERIFY(!tables->at(0).error.isEmpty());
    QCOMPARE(tables->at(1).source, a);
    QCOMPARE(tables->at(1).tracks.size(), 3);
    QCOMPARE(tables->at(1).tracks.at(2).number, 3);
}

void CdTableReaderTest::sheetChangingWhileRead()
{
    StalledImage image;
    QVERIFY(image.cue.isValid());
    CdTableReader reader;
    std::optional<QList<CdTableReader::Table>> tables;
    QVERIFY(reader.read({image.cue.path()}, false, [&](const QList<CdTableReader::Table> &t) { tables = t; }));
    // A sheet at the first look, something else at the next. (QTRY looks once more when
    // it holds: the sheet is served once.)
    bool first = false;
    QTRY_VERIFY_WITH_TIMEOUT(first || (first = image.cue.serveOnce(sheet("disc.bin", 2))), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT((image.cue.serveOnce("not a sheet\n"), tables.has_value()), kWaitMs);
    QCOMPARE(tables->size(), 1);
    QVERIFY(tables->first().tracks.isEmpty());
}

void CdTableReaderTest::goesWhileItsReadHangs()
{
    StalledImage image;
    QVERIFY(image.cue.isValid());
    bool answered = false;
    {
        CdTableReader reader;
        QVERIFY(reader.read({image.cue.path()}, true, [&](const QList<CdTableReader::Table> &) { answered = true; }));
        // The worker reads the sheet and gets nothing: it waits.
        QTRY_VERIFY_WITH_TIMEOUT(image.cue.hold(), kWaitMs);
    } // gone all the same, the read left behind
    image.cue.letGo();
    QCoreApplication::processEvents();
    QVERIFY(!answered);
}

QTEST_GUILESS_MAIN(CdTableReaderTest)
#include "test_cd_table_reader.moc"
