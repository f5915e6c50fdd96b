// Volume serials read from file-system images made here by the systems' own tools,
// and the door commands on something that is no drive.
#include "system/Drives.h"
#include "system/VolumeSerial.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning().noquote() << program << args.join(QLatin1Char(' ')) << p.readAll();
        return false;
    }
    return true;
}

bool sized(const QString &path, qint64 bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.resize(bytes);
}

} // namespace

class VolumeSerialTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void serialOfImage_data();
    void serialOfImage();
    void isoSerialFollowsTheVolume();
    void doorsOnNoDriveDoNothing();
};

void VolumeSerialTest::serialOfImage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("FAT12") << "fat12" << "A1B-C4";
    QTest::newRow("FAT32") << "fat32" << "1234-5678";
    QTest::newRow("NTFS: low half of its 64-bit serial") << "ntfs" << "90AB-CDEF";
    QTest::newRow("no file system") << "zeros" << "";
    QTest::newRow("no such device") << "missing" << "";
}

void VolumeSerialTest::serialOfImage()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QTemporaryDir tmp;
    const QString img = tmp.filePath(QStringLiteral("volume.img"));
    if (kind == QLatin1String("fat12")) {
        QVERIFY(run("mkfs.fat", {"-i", "0A1B00C4", "-C", img, "1440"}));
    } else if (kind == QLatin1String("fat32")) {
        QVERIFY(run("mkfs.fat", {"-F", "32", "-i", "12345678", "-C", img, "40000"}));
    } else if (kind == QLatin1String("ntfs")) {
        QVERIFY(sized(img, 8 << 20));
        QVERIFY(run("mkntfs", {"-F", "-Q", "-q", img}));
        QVERIFY(run("ntfslabel", {"--new-serial=1234567890ABCDEF", img}));
    } else if (kind == QLatin1String("zeros")) {
        QVERIFY(sized(img, 1 << 20));
    }
    QCOMPARE(volume_serial::VolumeSerialText(img), text);
}

void VolumeSerialTest::isoSerialFollowsTheVolume()
{
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkdir(QStringLiteral("content")));
    QFile file(tmp.filePath(QStringLiteral("content/a.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("a") == 1);
    file.close();
    QStringList texts;
    for (const char *volume : {"FIRST", "SECOND", "FIRST"}) {
        const QString img = tmp.filePath(QStringLiteral("disc.iso"));
        QFile::remove(img);
        // A fixed creation time, so that only the volume name differs.
        QVERIFY(run("xorriso", {"-as", "mkisofs", "-quiet", "-J", "-V", volume, "--modification-date=2026010112000000",
                                "-o", img, tmp.filePath("content")}));
        texts.append(volume_serial::VolumeSerialText(img));
    }
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{1,4}-[0-9A-F]{1,4}$")).match(texts[0]).hasMatch());
    QVERIFY(texts[0] != texts[1]);
    QCOMPARE(texts[2], texts[0]);
}

void VolumeSerialTest::doorsOnNoDriveDoNothing()
{
    QTemporaryDir tmp;
    const QString notADrive = tmp.filePath(QStringLiteral("plain"));
    QVERIFY(sized(notADrive, 4096));
    for (const QString &device : {notADrive, tmp.filePath(QStringLiteral("missing")), QStringLiteral("/dev/null")}) {
        drives::OpenDriveDoor(device);
        drives::CloseDriveDoor(device);
    }
    QCOMPARE(QFileInfo(notADrive).size(), qint64(4096));
}

QTEST_GUILESS_MAIN(VolumeSerialTest)
#include "test_volumeserial.moc"
