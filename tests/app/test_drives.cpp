#include "system/Drives.h"

#include <QtTest>

class DrivesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parsesBlockDeviceMounts();
};

void DrivesTest::parsesBlockDeviceMounts()
{
    const QString mounts = QStringLiteral("proc /proc proc rw 0 0\n"
                                          "/dev/vda1 / ext4 rw 0 0\n"
                                          "/dev/sr0 /media/My\\040Disc iso9660 ro 0 0\n"
                                          "tmpfs /tmp tmpfs rw 0 0\n"
                                          "/dev/vda1 /srv ext4 rw 0 0\n");
    const QVector<DriveEntry> d = drives::parseMounts(mounts);
    QCOMPARE(d.size(), 2);
    QCOMPARE(d[0].device, QStringLiteral("/dev/vda1"));
    QCOMPARE(d[0].mountPoint, QStringLiteral("/"));
    QVERIFY(!d[0].optical);
    QCOMPARE(d[1].mountPoint, QStringLiteral("/media/My Disc"));
    QVERIFY(d[1].optical);
}

QTEST_GUILESS_MAIN(DrivesTest)
#include "test_drives.moc"
