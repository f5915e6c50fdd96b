// The display and input commands against a real X server (Xvfb), checked with the
// server's own answers. Xvfb has no DPMS: the monitor commands must leave it alone.
#include "system/X11DisplayControl.h"

#include <QProcess>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include <vector>

class X11DisplayTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void mouseButtonsSwapAndRestore();
    void screenSaverOffAndOn();
    void monitorWithoutDpmsDoesNothing();

private:
    std::vector<unsigned char> pointerMap() const;
    int screenSaverTimeout() const;

    QProcess xvfb_;
    QByteArray display_;
    Display *probe_ = nullptr;
};

void X11DisplayTest::initTestCase()
{
    // -displayfd: the server picks a free display and tells us which.
    xvfb_.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    QVERIFY(xvfb_.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(xvfb_.canReadLine() || xvfb_.state() != QProcess::Running, 30000);
    display_ = ':' + xvfb_.readLine().trimmed();
    probe_ = XOpenDisplay(display_.constData());
    QVERIFY(probe_);
}

void X11DisplayTest::cleanupTestCase()
{
    if (probe_)
        XCloseDisplay(probe_);
    xvfb_.terminate();
    xvfb_.waitForFinished(10000);
}

std::vector<unsigned char> X11DisplayTest::pointerMap() const
{
    unsigned char map[256];
    const int n = XGetPointerMapping(probe_, map, sizeof map);
    return std::vector<unsigned char>(map, map + n);
}

int X11DisplayTest::screenSaverTimeout() const
{
    int timeout = 0, interval = 0, blanking = 0, exposures = 0;
    XGetScreenSaver(probe_, &timeout, &interval, &blanking, &exposures);
    return timeout;
}

void X11DisplayTest::mouseButtonsSwapAndRestore()
{
    std::vector<unsigned char> normal = pointerMap();
    QVERIFY(normal.size() >= 5);
    QCOMPARE(int(normal[0]), 1);
    QCOMPARE(int(normal[2]), 3);
    X11DisplayControl control(display_);
    std::vector<unsigned char> swapped = normal;
    std::swap(swapped[0], swapped[2]);
    control.setLeftHanded(true);
    QCOMPARE(pointerMap(), swapped);
    control.setLeftHanded(true); // a setting, not a toggle
    QCOMPARE(pointerMap(), swapped);
    control.setLeftHanded(false);
    QCOMPARE(pointerMap(), normal);
}

void X11DisplayTest::screenSaverOffAndOn()
{
    const int serverDefault = screenSaverTimeout();
    QVERIFY(serverDefault > 0);
    X11DisplayControl control(display_);
    control.setScreenSaver(false);
    QCOMPARE(screenSaverTimeout(), 0);
    control.setScreenSaver(true);
    QCOMPARE(screenSaverTimeout(), serverDefault);
}

void X11DisplayTest::monitorWithoutDpmsDoesNothing()
{
    int event = 0, error = 0;
    if (DPMSQueryExtension(probe_, &event, &error))
        QSKIP("this X server has DPMS");
    X11DisplayControl(display_).setMonitorPower(DisplayControl::MonitorLevel::Off);
    QCOMPARE(int(pointerMap()[0]), 1); // the server is still there and answers
}

QTEST_GUILESS_MAIN(X11DisplayTest)
#include "test_x11display.moc"
