// The visualisation window driven as the tap drives it: blocks handed to its visual-data
// handler, the picture read back from the paint area.
#include "VisTestSupport.h"
#include "support/FakeMediaGraph.h"
#include "visualisation/TForm9.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QtTest>

#include <memory>

using namespace vis_test;

namespace {

struct Window {
    FakeMainLink main;
    FakeMediaGraph graph;
    std::unique_ptr<TForm9> form;
    int plays = 0;
    // What the window looked like when it pressed play.
    QString stripAtPlay;
    int modeAtPlay = -1;
    int volumeAtPlay = -1;

    explicit Window(const QByteArray &ini = {}, bool updateFound = false, int volume = 5000)
    {
        if (!ini.isEmpty())
            main.writeSettings(ini);
        form = std::make_unique<TForm9>(main, graph, volume, updateFound, [this] {
            ++plays;
            // Still inside the constructor: the window is known by its registration.
            if (auto *f = qobject_cast<TForm9 *>(main.windows.value(WindowId::Visualisation))) {
                stripAtPlay = f->strip()->text();
                modeAtPlay = f->VisualMode();
            }
            volumeAtPlay = graph.volume();
        });
    }

    void feed(const std::vector<std::int16_t> &samples, int channels = 2)
    {
        form->DSPackDCDSPFilter1VisualData(reinterpret_cast<const char *>(samples.data()),
                                           int(samples.size() * sizeof(std::int16_t)),
                                           BlockFormat{44100, channels, 16, false});
    }
    void feedSine(double frequency = 440.0, double amplitude = 0.5)
    {
        feed(sineBlock(AudioTap::WindowFrames, 2, frequency, 44100, amplitude));
    }
    // Sets the window so that the paint area has this size.
    void setPaintSize(QSize size)
    {
        const QSize margins = form->size() - form->paintAreaSize();
        form->resize(size + margins);
    }
    QImage shown() const { return form->PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// Points 0..half-1 at the most negative level, the rest at the most positive.
std::vector<std::int16_t> lowThenHigh(int half)
{
    std::vector<std::int16_t> samples(std::size_t(AudioTap::WindowFrames) * 2, 32767);
    std::fill(samples.begin(), samples.begin() + std::ptrdiff_t(half) * 2, std::int16_t(-32768));
    return samples;
}

// A graph with a tap that never plays: the test emits its blocks.
class TapGraph : public FakeMediaGraph {
public:
    AudioTap tap;
    AudioTap *audioTap() override { return &tap; }
};

} // namespace

class TestTForm9 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void creation_data();
    void creation();
    void sineFollowsTheLevelMapping();
    void pointsFollowThePaintWidth_data();
    void pointsFollowThePaintWidth();
    void noneTurnsBlackAtOnceAndStaysBlack();
    void resizeChangesTheSpan();
    void lineFillsTheAreaAtAnyScale();
    void popupChecksTheMode();
    void hiddenWindowShowsTheNewestLineWhenShown();
    void ignoredBlocksKeepThePicture_data();
    void ignoredBlocksKeepThePicture();
    void dvdTimeReachesTheLabel_data();
    void dvdTimeReachesTheLabel();
    void tapIsHeldWhileNobodySeesTheWaveform();
    void copyIntoAnImageMatchesThePainter();
};

void TestTForm9::creation_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("updateFound");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("first start") << QByteArray() << false << true << QRect(0, 0, 100, 100);
    QTest::newRow("stored, hidden, update found")
        << QByteArray("[NASTAVENI9]\r\nSirka=300\r\nVyska=250\r\nZLeva=10\r\nZHora=20\r\nVidet=0\r\n") << true
        << false << QRect(10, 20, 300, 250);
    QTest::newRow("below the minimum size")
        << QByteArray("[NASTAVENI9]\r\nSirka=40\r\nVyska=20\r\n") << false << true << QRect(0, 0, 100, 100);
}

void TestTForm9::creation()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, updateFound);
    QFETCH(bool, visible);
    QFETCH(QRect, geometry);

    Window w(ini, updateFound, 4321);
    TForm9 &f = *w.form;
    QCOMPARE(f.objectName(), QStringLiteral("Form9"));
    QCOMPARE(f.isVisible(), visible);
    QCOMPARE(w.main.toggles.size(), visible ? 1 : 0);
    QCOMPARE(f.geometry(), geometry);
    QCOMPARE(f.strip()->text(), QStringLiteral("line 76"));
    QCOMPARE(w.graph.calls(), QStringList{QStringLiteral("setVolume(4321)")});
    // Play is pressed last, with everything else in place, and only without an update.
    QCOMPARE(w.plays, updateFound ? 0 : 1);
    if (!updateFound) {
        QCOMPARE(w.stripAtPlay, QStringLiteral("line 76"));
        QCOMPARE(w.volumeAtPlay, 4321);
        QCOMPARE(w.modeAtPlay, 1);
    }
    QCOMPARE(f.VisualMode(), 1);
    QCOMPARE(f.DCWaveform1->MinY(), 0);
    QCOMPARE(f.DCWaveform1->MaxY(), f.paintAreaSize().height());
    QVERIFY(f.DCWaveform1->MixChannels());
    QCOMPARE(int(f.DCWaveform1->SampleSkip()), 1);
    QCOMPARE(f.picture().size(), f.paintAreaSize());
    QVERIFY(allBlack(f.picture()));
    QCOMPARE(f.None1->text(), QStringLiteral("None"));
    QCOMPARE(f.WaveForm1->text(), QStringLiteral("WaveForm"));
    if (visible) {
        QCOMPARE(f.PaintBox1->size(), f.paintAreaSize());
        QVERIFY(allBlack(w.shown()));
    }
}

void TestTForm9::sineFollowsTheLevelMapping()
{
    Window w;
    w.setPaintSize(QSize(300, 200));
    const auto samples = sineBlock(AudioTap::WindowFrames, 2, 440.0, 44100, 0.5);
    w.feed(samples);
    const QImage image = w.shown();
    QCOMPARE(image.size(), QSize(300, 200));
    QCOMPARE(greenColumns(image), 300);
    // Each column holds its own point: level u lands at row u x H / 65536.
    for (int x = 0; x < 300; ++x) {
        const int u = samples[std::size_t(x) * 2] + 32768;
        QVERIFY2(isGreen(image.pixel(x, u * 200 / 65536)), qPrintable(QString::number(x)));
    }
    // Half scale swings over the middle half of the area and no further.
    const auto [top, bottom] = greenRowSpan(image);
    QVERIFY2(std::abs(top - 50) <= 1 && std::abs(bottom - 149) <= 1,
             qPrintable(QStringLiteral("%1..%2").arg(top).arg(bottom)));
}

void TestTForm9::pointsFollowThePaintWidth_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("points");
    QTest::newRow("300") << 300 << 300;
    QTest::newRow("minimum") << 94 << 94;
    QTest::newRow("the table's width") << 8192 << 8192;
    QTest::newRow("wider than the table") << 9000 << 8192;
}

void TestTForm9::pointsFollowThePaintWidth()
{
    QFETCH(int, width);
    QFETCH(int, points);
    Window w;
    w.setPaintSize(QSize(width, 120));
    QCOMPARE(w.form->paintAreaSize().width(), width);
    int count = -1;
    TForm9 *form = w.form.get();
    form->DCWaveform1->setOnWaveformData(
        [&count, form](TDCWaveform *sender, const TDCWaveform::Row *data, int minY, int maxY, int n, int channels) {
            count = n;
            form->DCWaveform1WaveformData(sender, data, minY, maxY, n, channels);
        });
    // Any sample rate: the block is cut to the width, not to a span of time.
    for (int rate : {8000, 44100, 96000}) {
        const auto samples = sineBlock(AudioTap::WindowFrames, 2, 440.0, rate, 0.5);
        form->DSPackDCDSPFilter1VisualData(reinterpret_cast<const char *>(samples.data()),
                                           int(samples.size() * 2), BlockFormat{rate, 2, 16, false});
        QCOMPARE(count, points);
        QCOMPARE(form->DCWaveform1->NumSamples(), points);
    }
    const QImage image = form->picture();
    QCOMPARE(image.width(), width);
    QCOMPARE(greenColumns(image), points);
    QCOMPARE(greenColumns(image.copy(points, 0, width - points, image.height())), 0);
}

void TestTForm9::noneTurnsBlackAtOnceAndStaysBlack()
{
    Window w;
    w.setPaintSize(QSize(200, 150));
    w.feedSine();
    QCOMPARE(greenColumns(w.shown()), 200);

    w.form->None1->trigger();
    QCOMPARE(w.form->VisualMode(), 0);
    // No event loop turn in between: the picture and the area are black already.
    QVERIFY(allBlack(w.form->picture()));
    QVERIFY(allBlack(w.shown()));
    for (int i = 0; i < 5; ++i)
        w.feedSine(440.0 + 100 * i);
    QCoreApplication::processEvents();
    QVERIFY(allBlack(w.shown()));

    // Back to the waveform: black until the next block draws over it.
    w.form->WaveForm1->trigger();
    QCOMPARE(w.form->VisualMode(), 1);
    QVERIFY(allBlack(w.shown()));
    w.feedSine();
    QCOMPARE(greenColumns(w.shown()), 200);
}

void TestTForm9::resizeChangesTheSpan()
{
    Window w;
    w.setPaintSize(QSize(200, 100));
    QCOMPARE(w.form->DCWaveform1->MaxY(), 100);
    w.feed(lowThenHigh(100));
    QCOMPARE(greenRowSpan(w.shown()), std::make_pair(0, 99));

    w.setPaintSize(QSize(200, 260));
    QCOMPARE(w.form->DCWaveform1->MaxY(), 260);
    QCOMPARE(w.form->PaintBox1->height(), 260);
    // Until the next block the old picture stays, and the new area below it is black.
    QCOMPARE(greenRowSpan(w.shown()), std::make_pair(0, 99));
    w.feed(lowThenHigh(100));
    QCOMPARE(w.form->picture().size(), QSize(200, 260));
    QCOMPARE(greenRowSpan(w.shown()), std::make_pair(0, 259));

    // Smaller again: the line shrinks with the area.
    w.setPaintSize(QSize(150, 120));
    w.feed(lowThenHigh(75));
    const QImage image = w.shown();
    QCOMPARE(image.size(), QSize(150, 120));
    QCOMPARE(greenRowSpan(image), std::make_pair(0, 119));
    QCOMPARE(greenColumns(image), 150);
}

void TestTForm9::lineFillsTheAreaAtAnyScale()
{
    // Run once as it is and once under QT_SCALE_FACTOR=2 (see CMakeLists.txt).
    Window w;
    w.setPaintSize(QSize(200, 100));
    w.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    const qreal ratio = w.form->devicePixelRatioF();
    const QSize device = (QSizeF(200, 100) * ratio).toSize();
    w.feed(lowThenHigh(device.width() / 2));
    // What the screen shows, in its own pixels: every column green, top to bottom.
    const QImage image = w.shown();
    QCOMPARE(image.size(), device);
    QCOMPARE(greenColumns(image), device.width());
    QCOMPARE(greenRowSpan(image), std::make_pair(0, device.height() - 1));
    // The jump from the lowest to the highest level is in the middle, not at a quarter.
    const int middle = device.width() / 2;
    QCOMPARE(image.pixel(middle - 2, 0), WaveformPicture::LineColour);
    QCOMPARE(image.pixel(middle + 2, device.height() - 1), WaveformPicture::LineColour);
}

void TestTForm9::popupChecksTheMode()
{
    Window w;
    TForm9 &f = *w.form;
    f.None1Click(0);
    Q_EMIT f.BcBarPopupMenu1->aboutToShow();
    QVERIFY(f.None1->isChecked());
    QVERIFY(!f.WaveForm1->isChecked());
    f.None1Click(1);
    Q_EMIT f.BcBarPopupMenu1->aboutToShow();
    QVERIFY(!f.None1->isChecked());
    QVERIFY(f.WaveForm1->isChecked());

    // The popup opens on the paint area, with the mode checked.
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), f.PaintBox1->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(f.PaintBox1, &event);
    QTRY_VERIFY(f.BcBarPopupMenu1->isVisible());
    QVERIFY(f.WaveForm1->isChecked());
    f.BcBarPopupMenu1->close();
}

void TestTForm9::hiddenWindowShowsTheNewestLineWhenShown()
{
    Window w;
    w.setPaintSize(QSize(120, 100));
    w.feed(constantBlock(AudioTap::WindowFrames, 2, 0));
    QCOMPARE(greenRowSpan(w.form->picture()), std::make_pair(50, 50));

    w.main.performToggle(WindowId::Visualisation);
    QVERIFY(!w.form->isVisible());
    const qint64 before = w.form->picture().cacheKey();
    w.feed(constantBlock(AudioTap::WindowFrames, 2, -32768));
    QCOMPARE(w.form->picture().cacheKey(), before); // nothing drawn while hidden

    w.main.performToggle(WindowId::Visualisation);
    QCOMPARE(greenRowSpan(w.form->picture()), std::make_pair(0, 0));
    QCOMPARE(greenRowSpan(w.shown()), std::make_pair(0, 0));

    // A mode change while hidden wins over what was computed before it.
    w.main.performToggle(WindowId::Visualisation);
    w.feed(constantBlock(AudioTap::WindowFrames, 2, 0));
    w.form->None1->trigger();
    w.feed(constantBlock(AudioTap::WindowFrames, 2, 0));
    w.main.performToggle(WindowId::Visualisation);
    QVERIFY(allBlack(w.shown()));
}

void TestTForm9::ignoredBlocksKeepThePicture_data()
{
    QTest::addColumn<bool>("nullData");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::newRow("no buffer") << true << 1024 << 2 << 16;
    QTest::newRow("zero size") << false << 0 << 2 << 16;
    QTest::newRow("zero channels") << false << 1024 << 0 << 16;
    QTest::newRow("zero bits") << false << 1024 << 2 << 0;
    QTest::newRow("64-bit samples") << false << 1024 << 2 << 64;
}

void TestTForm9::ignoredBlocksKeepThePicture()
{
    QFETCH(bool, nullData);
    QFETCH(int, size);
    QFETCH(int, channels);
    QFETCH(int, bits);
    Window w;
    w.setPaintSize(QSize(100, 100));
    w.feedSine();
    const QImage before = w.shown();
    QCOMPARE(greenColumns(before), 100);
    const std::vector<char> junk(4096, 0x55);
    w.form->DSPackDCDSPFilter1VisualData(nullData ? nullptr : junk.data(), size,
                                         BlockFormat{44100, channels, bits, false});
    QCOMPARE(w.shown(), before);
}

void TestTForm9::dvdTimeReachesTheLabel_data()
{
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("m");
    QTest::addColumn<int>("s");
    QTest::addColumn<QString>("text");
    QTest::newRow("0:05:09") << 0 << 5 << 9 << QStringLiteral("0:05:09");
    QTest::newRow("1:05:09") << 1 << 5 << 9 << QStringLiteral("1:05:09");
    QTest::newRow("start") << 0 << 0 << 0 << QStringLiteral("0:00:00");
    QTest::newRow("past a day") << 26 << 0 << 1 << QStringLiteral("26:00:01");
    QTest::newRow("negative reads as zero") << 0 << 0 << -3 << QStringLiteral("0:00:00");
}

void TestTForm9::dvdTimeReachesTheLabel()
{
    QFETCH(int, h);
    QFETCH(int, m);
    QFETCH(int, s);
    QFETCH(QString, text);
    Window w;
    w.form->FilterGraph1DVDCurrentHMSFTime(h, m, s, 12); // no receiver yet: nothing happens
    QLabel label;
    w.form->setDvdTimeHandler([&label](const QString &t) { label.setText(t); });
    Q_EMIT w.graph.dvdTimeChanged(h, m, s, 12); // the frames are not shown
    QCOMPARE(label.text(), text);
}

void TestTForm9::tapIsHeldWhileNobodySeesTheWaveform()
{
    FakeMainLink main;
    TapGraph graph;
    QPointer<AudioTap> tap(&graph.tap);
    auto form = std::make_unique<TForm9>(main, graph, 5000, true, std::function<void()>());
    QVERIFY(graph.tap.visualEnabled());
    QVERIFY(!graph.tap.visualHeld());
    QCOMPARE(graph.tap.visualInterval(), 25);
    // The window takes its blocks from the tap's signal.
    const auto samples = sineBlock(AudioTap::WindowFrames, 2, 440.0, 44100, 0.5);
    Q_EMIT graph.tap.visualData(reinterpret_cast<const char *>(samples.data()), int(samples.size() * 2),
                                BlockFormat{44100, 2, 16, false});
    QCOMPARE(greenColumns(form->picture()), form->paintAreaSize().width());

    // Not seen: held, so no block is asked for; the tap stays enabled so its store stays
    // filled, and the pace stays 25 ms for when it is seen again.
    form->None1->trigger();
    QVERIFY(graph.tap.visualHeld());
    form->WaveForm1->trigger();
    QVERIFY(!graph.tap.visualHeld());
    main.performToggle(WindowId::Visualisation);
    QVERIFY(graph.tap.visualHeld());
    form->None1->trigger();
    form->WaveForm1->trigger();
    QVERIFY(graph.tap.visualHeld()); // still hidden
    QVERIFY(graph.tap.visualEnabled());
    QCOMPARE(graph.tap.visualInterval(), 25);
    main.performToggle(WindowId::Visualisation);
    QVERIFY(!graph.tap.visualHeld());

    // Hidden from the start: held from the start.
    {
        FakeMainLink hiddenMain;
        hiddenMain.writeSettings("[NASTAVENI9]\r\nVidet=0\r\n");
        TapGraph hiddenGraph;
        TForm9 hidden(hiddenMain, hiddenGraph, 5000, true, {});
        QVERIFY(!hidden.isVisible());
        QVERIFY(hiddenGraph.tap.visualEnabled());
        QVERIFY(hiddenGraph.tap.visualHeld());
    }

    form.reset();
    QVERIFY(!graph.tap.visualEnabled());
    QVERIFY(!graph.tap.visualHeld());
}

void TestTForm9::copyIntoAnImageMatchesThePainter()
{
    Window w;
    w.setPaintSize(QSize(150, 110));
    w.feedSine();
    const QImage painted = w.shown(); // grab: a pixmap, painted by the handler
    QCOMPARE(greenColumns(painted), 150);
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        // Rendered into an image (as into a raster backing store), at an offset: the
        // picture is copied, every pixel of the area written, nothing around it.
        QImage target(200, 160, format);
        target.fill(Qt::red);
        const int before = w.form->PaintBox1->directCopies();
        w.form->PaintBox1->render(&target, QPoint(20, 30));
        QCOMPARE(w.form->PaintBox1->directCopies(), before + 1);
        const QImage rgb = target.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(rgb.copy(20, 30, 150, 110), painted);
        QCOMPARE(rgb.pixel(19, 30), QColor(Qt::red).rgb());
        QCOMPARE(rgb.pixel(170, 30), QColor(Qt::red).rgb());
        QCOMPARE(rgb.pixel(20, 29), QColor(Qt::red).rgb());
        QCOMPARE(rgb.pixel(20, 140), QColor(Qt::red).rgb());
    }
    // Larger than the picture until the next block: the rest is black, both ways.
    w.setPaintSize(QSize(180, 120));
    QTRY_COMPARE(w.form->PaintBox1->size(), QSize(180, 120)); // once the layout has run
    QCOMPARE(w.form->picture().size(), QSize(150, 110));
    QImage target(180, 120, QImage::Format_RGB32);
    target.fill(Qt::red);
    w.form->PaintBox1->render(&target);
    const QImage grabbed = w.shown();
    QCOMPARE(target, grabbed);
    QVERIFY(allBlack(target.copy(150, 0, 30, 120)));
    QVERIFY(allBlack(target.copy(0, 110, 180, 10)));
}

QTEST_MAIN(TestTForm9)
#include "test_tform9.moc"
