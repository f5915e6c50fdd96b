// Random bytes through the settings and table readers: nothing may crash, and a load
// followed by a save must give back every line it read.
#include "settings/IniFile.h"
#include "settings/LineTable.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int Rounds = 3000;

// Mostly the characters the parsers look at, with any byte mixed in.
QByteArray randomBuffer(QRandomGenerator &rng)
{
    static const QByteArray structural("[]=;\"' \t\r\n$0xX1aA-+");
    const int size = int(rng.bounded(400));
    QByteArray b;
    b.reserve(size);
    for (int i = 0; i < size; ++i) {
        if (rng.bounded(3) == 0)
            b.append(char(rng.bounded(256)));
        else
            b.append(structural[int(rng.bounded(int(structural.size())))]);
    }
    return b;
}

// Each write goes to a fresh file: overwriting one in place makes the file system
// flush it, which would turn a second-long test into a minute.
QString writeFresh(const QTemporaryDir &dir, const QByteArray &bytes)
{
    static int serial = 0;
    const QString path = dir.filePath(QStringLiteral("f%1").arg(++serial));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write fuzz input");
    return path;
}

void removeFiles(const QTemporaryDir &dir)
{
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
        QFile::remove(dir.filePath(name));
}

const QStringList probeNames = {"a", "A", "x", "$", "0x", "", " ", "[a]", "a=", ";a"};

} // namespace

class TestSettingsFuzz : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void iniFile();
    void lineTable();
};

void TestSettingsFuzz::iniFile()
{
    QRandomGenerator rng(20240611);
    QTemporaryDir dir;
    for (int round = 0; round < Rounds; ++round) {
        const QString path = writeFresh(dir, randomBuffer(rng));
        IniFile ini(path);
        const QStringList original = ini.lines();

        for (const QString &s : probeNames) {
            for (const QString &k : probeNames) {
                ini.readInteger(s, k, 0);
                ini.readBool(s, k, true);
                ini.readString(s, k, QString());
                bool ok = false;
                ini.readColour(s, k, 0, &ok);
            }
        }

        // Unchanged round trip: every line survives. The atomic save syncs to disk, so
        // most rounds check the same bytes through a plain file.
        QString error;
        if (round % 100 == 0) {
            QVERIFY2(ini.save(&error), qPrintable(error));
            QCOMPARE(IniFile(path).lines(), original);
        }
        QCOMPARE(IniFile(writeFresh(dir, ini.serialized())).lines(), original);

        // Keys and sections of our own are added; everything else stays in order.
        IniFile edited(path);
        edited.writeInteger("NASTAVENI1", "Volume", 4321);
        edited.writeString("NASTAVENI1", "FTyp", "Arial");
        edited.writeBool("NASTAVENI2", "Videt", false);
        QCOMPARE(edited.readInteger("NASTAVENI1", "Volume", 0), 4321);
        QCOMPARE(edited.readString("NASTAVENI1", "FTyp", ""), QString("Arial"));
        QCOMPARE(edited.readBool("NASTAVENI2", "Videt", true), false);
        const IniFile reread(writeFresh(dir, edited.serialized()));
        QCOMPARE(reread.readInteger("NASTAVENI1", "Volume", 0), 4321);
        QCOMPARE(reread.readBool("NASTAVENI2", "Videt", true), false);
        QStringList kept = reread.lines();
        kept.removeIf([](const QString &l) {
            return l == "[NASTAVENI1]" || l == "[NASTAVENI2]" || l == "Volume=4321"
                || l == "FTyp=Arial" || l == "Videt=0";
        });
        QCOMPARE(kept, original);
        removeFiles(dir);
    }
}

void TestSettingsFuzz::lineTable()
{
    QRandomGenerator rng(977);
    QTemporaryDir dir;
    for (int round = 0; round < Rounds; ++round) {
        const QString path = writeFresh(dir, randomBuffer(rng));
        LineTable t;
        QVERIFY(t.load(path));
        const QStringList original = t.lines();
        for (int n = -2; n < t.count() + 2; ++n)
            t.line(n, "x");
        LineTable back;
        if (round % 100 == 0) {
            QVERIFY(t.save(path));
            QVERIFY(back.load(path));
            QCOMPARE(back.lines(), original);
        }
        QVERIFY(back.load(writeFresh(dir, t.serialized())));
        QCOMPARE(back.lines(), original);
        removeFiles(dir);
    }
}

QTEST_GUILESS_MAIN(TestSettingsFuzz)
#include "test_settings_fuzz.moc"
