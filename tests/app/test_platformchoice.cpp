// The platform the player asks Qt for, from the session's environment.
#include "app/PlatformChoice.h"

#include <QtTest>

class PlatformChoiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choice_data();
    void choice();
};

void PlatformChoiceTest::choice_data()
{
    QTest::addColumn<QByteArray>("qpa");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("X11 session") << QByteArray() << QByteArray() << QByteArray(":0") << QByteArray();
    QTest::newRow("Wayland with XWayland") << QByteArray() << QByteArray("wayland-0") << QByteArray(":0")
                                           << QByteArray("xcb;wayland");
    QTest::newRow("Wayland without XWayland") << QByteArray() << QByteArray("wayland-0") << QByteArray()
                                              << QByteArray();
    QTest::newRow("native Wayland asked for") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
                                              << QByteArray();
    QTest::newRow("offscreen asked for") << QByteArray("offscreen") << QByteArray("wayland-0") << QByteArray(":0")
                                         << QByteArray();
    QTest::newRow("blank variable") << QByteArray(" ") << QByteArray("wayland-0") << QByteArray(":1")
                                    << QByteArray("xcb;wayland");
}

void PlatformChoiceTest::choice()
{
    QFETCH(QByteArray, qpa);
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, expected);
    QCOMPARE(platform_choice::preferred(qpa, wayland, display), expected);
}

QTEST_GUILESS_MAIN(PlatformChoiceTest)
#include "test_platformchoice.moc"
