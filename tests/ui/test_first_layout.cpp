// The first start's layout on screens of common sizes, with the player's own windows.
#include "ui/FirstLayout.h"

#include <QtTest>

namespace {

const QSize MainSize(217, 190);
// Playlist, visualisation, video, volume, radio, converter, settings: the order the
// main window offers them a place.
const QList<QSize> PlayerWindows{{225, 200}, {100, 100}, {344, 307}, {900, 150},
                                 {657, 569}, {420, 330}, {618, 490}};

QList<first_layout::Window> allWanted()
{
    QList<first_layout::Window> windows;
    for (const QSize &s : PlayerWindows)
        windows.append({s, true, std::nullopt});
    return windows;
}

} // namespace

class FirstLayoutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void screens_data();
    void screens();
    void windowNotWantedStaysHidden();
    void storedPlacesStay();
};

void FirstLayoutTest::screens_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<int>("atLeastShown"); // besides the main window
    QTest::newRow("1024x768") << QRect(0, 0, 1024, 768) << 4;
    QTest::newRow("1366x768") << QRect(0, 0, 1366, 768) << 5;
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1080) << 7;
    QTest::newRow("1920x1080 under a top panel") << QRect(0, 32, 1920, 1048) << 7;
    QTest::newRow("second monitor") << QRect(1920, 0, 1280, 1024) << 5;
    QTest::newRow("800x600") << QRect(0, 0, 800, 600) << 3;
    QTest::newRow("smaller than a window") << QRect(0, 0, 640, 400) << 2;
}

void FirstLayoutTest::screens()
{
    QFETCH(QRect, area);
    QFETCH(int, atLeastShown);
    const QList<first_layout::Place> places = first_layout::arrange(area, {MainSize, true, std::nullopt}, allWanted());
    QCOMPARE(places.size(), PlayerWindows.size() + 1);
    const QRect main(places.first().position, MainSize);
    QCOMPARE(main.topLeft(), area.topLeft());
    QVERIFY(places.first().shown);

    QList<QRect> shown{main};
    int count = 0;
    for (qsizetype i = 0; i < PlayerWindows.size(); ++i) {
        const QRect r(places.at(i + 1).position, PlayerWindows.at(i));
        if (!places.at(i + 1).shown)
            continue;
        ++count;
        QVERIFY2(area.contains(r), qPrintable(QString::number(i)));
        for (const QRect &s : std::as_const(shown))
            QVERIFY2(!s.intersects(r), qPrintable(QStringLiteral("window %1 overlaps").arg(i)));
        shown.append(r);
    }
    QVERIFY2(count >= atLeastShown, qPrintable(QString::number(count)));
    // The hidden ones, when opened, keep off the main window where the screen allows.
    for (qsizetype i = 0; i < PlayerWindows.size(); ++i) {
        const QRect r(places.at(i + 1).position, PlayerWindows.at(i));
        if (places.at(i + 1).shown)
            continue;
        if (PlayerWindows.at(i).height() + MainSize.height() <= area.height())
            QVERIFY2(!r.intersects(main), qPrintable(QString::number(i)));
        QVERIFY(r.top() >= area.top() && r.left() >= area.left());
    }
}

void FirstLayoutTest::windowNotWantedStaysHidden()
{
    QList<first_layout::Window> windows = allWanted();
    windows[0].wanted = false; // the playlist was stored as closed
    const QList<first_layout::Place> places = first_layout::arrange(QRect(0, 0, 1920, 1080), {MainSize, true, std::nullopt}, windows);
    QVERIFY(!places.at(1).shown);
    QVERIFY(places.at(2).shown);
    // The place kept for it covers no shown window: there is room.
    const QRect kept(places.at(1).position, PlayerWindows.at(0));
    for (qsizetype i = 0; i < places.size(); ++i) {
        if (!places.at(i).shown)
            continue;
        const QSize size = i == 0 ? MainSize : PlayerWindows.at(i - 1);
        QVERIFY(!kept.intersects(QRect(places.at(i).position, size)));
    }
}

void FirstLayoutTest::storedPlacesStay()
{
    // The main window and the playlist have their places; the others are new.
    QList<first_layout::Window> windows = allWanted();
    windows[0].stored = QPoint(600, 300);
    const first_layout::Window main{MainSize, true, QPoint(380, 300)};
    const QRect area(0, 0, 1920, 1080);
    const QList<first_layout::Place> places = first_layout::arrange(area, main, windows);
    QCOMPARE(places.at(0).position, QPoint(380, 300));
    QCOMPARE(places.at(1).position, QPoint(600, 300));
    QVERIFY(places.at(1).shown);
    QList<QRect> shown;
    for (qsizetype i = 0; i < places.size(); ++i)
        if (places.at(i).shown)
            shown.append(QRect(places.at(i).position, i == 0 ? MainSize : PlayerWindows.at(i - 1)));
    for (qsizetype i = 0; i < shown.size(); ++i)
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            QVERIFY2(!shown.at(i).intersects(shown.at(j)), qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
    QVERIFY(shown.size() >= 6);
}

QTEST_GUILESS_MAIN(FirstLayoutTest)
#include "test_first_layout.moc"
