// The volume window's bars drive the mixer: pixels to levels, the wave bar moving the
// left and right bars, the master bar and the radio window's bar following each other,
// and one message for a run of mixer failures.
#include "../visualisation/VisTestSupport.h"
#include "ui/ClickDragBar.h"
#include "volume/Mixer.h"
#include "volume/TForm8.h"

#include <QtTest>

namespace {

class FakeMixer : public Mixer {
public:
    void SetMasterVolume(std::uint16_t value) override { calls.append(QStringLiteral("master %1").arg(value)); }
    void SetWaveVolume(std::uint16_t left, std::uint16_t right) override
    {
        calls.append(QStringLiteral("wave %1 %2").arg(left).arg(right));
    }
    void fail() { Q_EMIT failed(); }
    QStringList calls;
};

void press(ClickDragBar *bar, int x)
{
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(x, 5));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(x, 5));
}

} // namespace

class TestTForm8 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void barsDriveTheMixer_data();
    void barsDriveTheMixer();
    void masterBarsFollowEachOther();
    void mixerFailureIsShown();
};

void TestTForm8::barsDriveTheMixer_data()
{
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("x");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QList<int>>("positions"); // bars 1..4 afterwards
    QTest::newRow("master at 0") << 1 << 0 << "master 0" << QList<int>{0, 65535, 65535, 65535};
    QTest::newRow("master at 500") << 1 << 500 << "master 43000" << QList<int>{43000, 65535, 65535, 65535};
    QTest::newRow("master at 760") << 1 << 760 << "master 65360" << QList<int>{65360, 65535, 65535, 65535};
    QTest::newRow("wave moves left and right") << 2 << 349 << "wave 30014 30014"
                                               << QList<int>{65535, 30014, 30014, 30014};
    QTest::newRow("right silent, left full") << 4 << 0 << "wave 65535 0" << QList<int>{65535, 65535, 65535, 0};
}

void TestTForm8::barsDriveTheMixer()
{
    QFETCH(int, bar);
    QFETCH(int, x);
    QFETCH(QString, call);
    QFETCH(QList<int>, positions);
    FakeMainLink main;
    TForm8 window(main, 65535);
    ClickDragBar radioBar(QStringLiteral("ProgressBar1"), 65535, 102);
    FakeMixer mixer;
    window.attachMixer(mixer, &radioBar);
    press(window.ProgressBar[bar], x);
    QCOMPARE(mixer.calls, QStringList{call});
    for (int i = 1; i <= 4; ++i)
        QCOMPARE(window.ProgressBar[i]->value(), positions[i - 1]);
    QVERIFY(!ClickDragBar::sliderDragging());
}

void TestTForm8::masterBarsFollowEachOther()
{
    FakeMainLink main;
    TForm8 window(main, 65535);
    ClickDragBar radioBar(QStringLiteral("ProgressBar1"), 65535, 102);
    FakeMixer mixer;
    window.attachMixer(mixer, &radioBar);
    QVERIFY(radioBar.isEnabled());
    press(window.ProgressBar[1], 100);
    QCOMPARE(radioBar.value(), 8600);
    press(&radioBar, 100);
    QCOMPARE(window.ProgressBar[1]->value(), 10200);
    QCOMPARE(mixer.calls, (QStringList{"master 8600", "master 10200"}));
}

void TestTForm8::mixerFailureIsShown()
{
    FakeMainLink main;
    TForm8 window(main, 65535);
    FakeMixer mixer;
    window.attachMixer(mixer, nullptr);
    mixer.fail();
    QCOMPARE(main.scripted.messageTexts(), QStringList{QStringLiteral("Došlo k chybě při pokusu o změnu hlasitosti.")});
}

QTEST_MAIN(TestTForm8)
#include "test_tform8.moc"
