// The texts the computer-control commands show and write: uptime, volume serial,
// Exec quoting, the autostart entry and its error.
#include "system/Autostart.h"
#include "system/DesktopEntry.h"
#include "system/Uptime.h"
#include "system/VolumeSerial.h"

#include <QTemporaryDir>
#include <QtTest>

class SystemTextsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void uptimeText_data();
    void uptimeText();
    void serialText_data();
    void serialText();
    void execArgument_data();
    void execArgument();
    void autostartEntry();
};

void SystemTextsTest::uptimeText_data()
{
    QTest::addColumn<quint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("hour, minutes, seconds") << quint64(3725) << "1:02:05";
    QTest::newRow("under a minute") << quint64(59) << "0:00:59";
    QTest::newRow("hours do not wrap") << quint64(90000) << "25:00:00";
    QTest::newRow("beyond 32-bit milliseconds") << quint64(5000000) << "1388:53:20";
}

void SystemTextsTest::uptimeText()
{
    QFETCH(quint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(uptime::format(seconds), text);
}

void SystemTextsTest::serialText_data()
{
    QTest::addColumn<quint32>("serial");
    QTest::addColumn<QString>("text");
    QTest::newRow("no leading zeros, upper case") << quint32(0x0A1B00C4) << "A1B-C4";
    QTest::newRow("plain halves") << quint32(0x12345678) << "1234-5678";
}

void SystemTextsTest::serialText()
{
    QFETCH(quint32, serial);
    QFETCH(QString, text);
    QCOMPARE(volume_serial::format(serial), text);
}

void SystemTextsTest::execArgument_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain path stays bare") << "/opt/tarnel/tarnel" << "/opt/tarnel/tarnel";
    QTest::newRow("space quotes") << "/opt/my player/tarnel" << "\"/opt/my player/tarnel\"";
    QTest::newRow("quote, dollar, backslash escaped") << "/a\"b$c\\d" << "\"/a\\\"b\\$c\\\\d\"";
    QTest::newRow("percent doubled") << "/opt/100%/tarnel" << "/opt/100%%/tarnel";
}

void SystemTextsTest::execArgument()
{
    QFETCH(QString, argument);
    QFETCH(QString, exec);
    QCOMPARE(desktop_entry::execArgument(argument), exec);
}

void SystemTextsTest::autostartEntry()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QStringLiteral("/config/autostart"); // made when missing
    QString error;
    QVERIFY(autostart::enable(dir, QStringLiteral("/opt/my player/tarnel"), &error));
    QFile f(autostart::entryPath(dir));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("\nExec=\"/opt/my player/tarnel\"\n"));
    QVERIFY(autostart::disable(dir, &error));
    QVERIFY(!QFile::exists(autostart::entryPath(dir)));

    // The entry's file where a folder should be: it cannot be opened or created.
    const QString blocked = autostart::entryPath(dir) + QStringLiteral("/autostart");
    QVERIFY(autostart::enable(dir, QStringLiteral("/x"), &error));
    QVERIFY(!autostart::enable(blocked, QStringLiteral("/x"), &error));
    QCOMPARE(error, QStringLiteral("Chyba při otevírání klíče registrů."));
}

QTEST_GUILESS_MAIN(SystemTextsTest)
#include "test_systemtexts.moc"
