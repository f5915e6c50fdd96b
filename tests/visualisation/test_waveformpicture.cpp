#include "visualisation/WaveformPicture.h"

#include <QtTest>

#include <algorithm>
#include <vector>

namespace {

QImage blackImage(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(WaveformPicture::Background);
    return image;
}

QImage flatLine(QSize size, int y)
{
    QImage image = blackImage(size);
    for (int x = 0; x < size.width(); ++x)
        image.setPixel(x, y, WaveformPicture::LineColour);
    return image;
}

bool allBlack(const QImage &image)
{
    return image == blackImage(image.size());
}

} // namespace

class TestWaveformPicture : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void flatLineAcrossFullWidth();
    void clearAndRedraw();
    void resizeChangesSpan();
    void stepsAreConnected_data();
    void stepsAreConnected();
    void clipsToPicture();
};

void TestWaveformPicture::flatLineAcrossFullWidth()
{
    WaveformPicture picture(QSize(300, 201));
    QCOMPARE(picture.image().format(), QImage::Format_RGB32);
    QVERIFY(allBlack(picture.image()));
    const std::vector<std::int32_t> row(300, 100);
    picture.drawPoints(row.data(), 300);
    QCOMPARE(picture.image(), flatLine(QSize(300, 201), 100));
}

void TestWaveformPicture::clearAndRedraw()
{
    WaveformPicture picture(QSize(50, 40));
    std::vector<std::int32_t> row(50, 20);
    picture.drawPoints(row.data(), 50);
    picture.clear();
    QVERIFY(allBlack(picture.image()));

    // Each drawing starts from black: the old line does not stay.
    picture.drawPoints(row.data(), 50);
    std::fill(row.begin(), row.end(), 5);
    picture.drawPoints(row.data(), 50);
    QCOMPARE(picture.image(), flatLine(QSize(50, 40), 5));

    // Resizing to the same size keeps the picture.
    picture.resize(QSize(50, 40));
    QCOMPARE(picture.image(), flatLine(QSize(50, 40), 5));
}

void TestWaveformPicture::resizeChangesSpan()
{
    WaveformPicture picture(QSize(100, 100));
    std::vector<std::int32_t> row(200, 50);
    picture.drawPoints(row.data(), 100);

    picture.resize(QSize(200, 300));
    QCOMPARE(picture.size(), QSize(200, 300));
    QVERIFY(allBlack(picture.image()));
    std::fill(row.begin(), row.end(), 150);
    picture.drawPoints(row.data(), 200);
    QCOMPARE(picture.image(), flatLine(QSize(200, 300), 150));

    picture.resize(QSize(0, 300));
    QVERIFY(picture.image().isNull());
    picture.drawPoints(row.data(), 200); // nothing to draw on, no crash
    picture.clear();
}

void TestWaveformPicture::stepsAreConnected_data()
{
    QTest::addColumn<QList<int>>("points");
    QTest::newRow("full-height step up") << QList<int>{0, 99};
    QTest::newRow("full-height step down") << QList<int>{99, 0};
    QTest::newRow("rise of one and two") << QList<int>{50, 51, 53, 53, 52, 50};
    QTest::newRow("zigzag") << QList<int>{10, 90, 11, 89, 40, 41, 0, 99, 50};
}

// Every row between two neighbouring points is lit in one of their columns,
// and nothing is lit outside the segments' spans.
void TestWaveformPicture::stepsAreConnected()
{
    QFETCH(QList<int>, points);
    const int width = int(points.size());
    WaveformPicture picture(QSize(width, 100));
    const std::vector<std::int32_t> row(points.begin(), points.end());
    picture.drawPoints(row.data(), width);
    const QImage &image = picture.image();
    auto lit = [&](int x, int y) { return image.pixel(x, y) == WaveformPicture::LineColour; };

    for (int x = 0; x < width; ++x)
        QVERIFY2(lit(x, points[x]), qPrintable(QStringLiteral("point %1 not drawn").arg(x)));
    for (int x = 1; x < width; ++x) {
        const auto [lo, hi] = std::minmax(points[x - 1], points[x]);
        for (int y = lo; y <= hi; ++y)
            QVERIFY2(lit(x - 1, y) || lit(x, y), qPrintable(QStringLiteral("gap at %1,%2").arg(x).arg(y)));
    }
    for (int x = 0; x < width; ++x) {
        int lo = points[x], hi = points[x];
        for (int n : {x - 1, x + 1})
            if (n >= 0 && n < width) {
                lo = std::min(lo, points[n]);
                hi = std::max(hi, points[n]);
            }
        for (int y = 0; y < 100; ++y)
            if (y < lo || y > hi)
                QVERIFY2(!lit(x, y), qPrintable(QStringLiteral("stray pixel at %1,%2").arg(x).arg(y)));
    }
}

void TestWaveformPicture::clipsToPicture()
{
    WaveformPicture picture(QSize(4, 10));
    const std::vector<std::int32_t> row{-1000, 5000, INT32_MIN, INT32_MAX, 3, 3, 3, 3};
    picture.drawPoints(row.data(), int(row.size())); // wider than the picture, rows far outside
    // The steep segments cross the whole height in columns 0, 1 and 3; the segment from
    // column 2 to 3 crosses it right at column 3. Nothing is written past column 3.
    const QList<int> expected{10, 10, 0, 10};
    QList<int> green;
    for (int x = 0; x < 4; ++x) {
        int n = 0;
        for (int y = 0; y < 10; ++y)
            n += picture.image().pixel(x, y) == WaveformPicture::LineColour;
        green.append(n);
    }
    QCOMPARE(green, expected);
    picture.drawPoints(nullptr, 4);
    QVERIFY(allBlack(picture.image()));
}

QTEST_GUILESS_MAIN(TestWaveformPicture)
#include "test_waveformpicture.moc"
