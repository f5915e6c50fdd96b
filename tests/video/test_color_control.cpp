// The colour settings: their ranges with the exact error texts, and the mapping onto
// videobalance at the ends and the neutral points of each range.
#include "video/ColorControl.h"

#include <QtTest>

#include <functional>

Q_DECLARE_METATYPE(VideoBalance)

class ColorControlTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mapping_data();
    void mapping();
    void rangeErrors_data();
    void rangeErrors();
    void resetTakesTheDefaultRecord();
};

void ColorControlTest::mapping_data()
{
    QTest::addColumn<int>("brightness");
    QTest::addColumn<int>("contrast");
    QTest::addColumn<int>("hue");
    QTest::addColumn<int>("saturation");
    QTest::addColumn<bool>("colour");
    QTest::addColumn<VideoBalance>("expected");
    QTest::newRow("neutral is untouched") << 750 << 10000 << 0 << 10000 << true << VideoBalance{0, 1, 0, 1};
    QTest::newRow("lowest") << 0 << 0 << -180 << 0 << true << VideoBalance{-1, 0, -1, 0};
    QTest::newRow("highest") << 10000 << 20000 << 180 << 20000 << true << VideoBalance{1, 2, 1, 2};
    QTest::newRow("brightness halfway up") << 5375 << 10000 << 90 << 5000 << true << VideoBalance{0.5, 1, 0.5, 0.5};
    QTest::newRow("brightness halfway down") << 375 << 15000 << -90 << 10000 << true
                                             << VideoBalance{-0.5, 1.5, -0.5, 1};
    QTest::newRow("no colour is grey") << 750 << 10000 << 0 << 20000 << false << VideoBalance{0, 1, 0, 0};
}

void ColorControlTest::mapping()
{
    QFETCH(int, brightness);
    QFETCH(int, contrast);
    QFETCH(int, hue);
    QFETCH(int, saturation);
    QFETCH(bool, colour);
    QFETCH(VideoBalance, expected);
    ColorControl c;
    c.setBrightness(brightness);
    c.setContrast(contrast);
    c.setHue(hue);
    c.setSaturation(saturation);
    c.setColorEnable(colour);
    const VideoBalance b = ColorControl::toBalance(c.current());
    QCOMPARE(b.brightness, expected.brightness);
    QCOMPARE(b.contrast, expected.contrast);
    QCOMPARE(b.hue, expected.hue);
    QCOMPARE(b.saturation, expected.saturation);
}

using Setter = std::function<void(ColorControl &, int)>;
Q_DECLARE_METATYPE(Setter)

void ColorControlTest::rangeErrors_data()
{
    QTest::addColumn<Setter>("set");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text"); // empty: accepted
    const Setter brightness = [](ColorControl &c, int v) { c.setBrightness(v); };
    const Setter contrast = [](ColorControl &c, int v) { c.setContrast(v); };
    const Setter saturation = [](ColorControl &c, int v) { c.setSaturation(v); };
    const Setter hue = [](ColorControl &c, int v) { c.setHue(v); };
    const Setter sharpness = [](ColorControl &c, int v) { c.setSharpness(v); };
    const Setter gamma = [](ColorControl &c, int v) { c.setGamma(v); };
    QTest::newRow("brightness below") << brightness << -1
                                      << "Value -1 out of range. Value must bee between 0 -> 10.000";
    QTest::newRow("brightness above") << brightness << 10001
                                      << "Value 10001 out of range. Value must bee between 0 -> 10.000";
    QTest::newRow("brightness top") << brightness << 10000 << "";
    QTest::newRow("contrast above") << contrast << 20001
                                    << "Value 20001 out of range. Value must bee between 0 -> 20.000";
    QTest::newRow("saturation below") << saturation << -5
                                      << "Value -5 out of range. Value must bee between 0 -> 20.000";
    QTest::newRow("hue below") << hue << -181 << "Value -181 out of range. Value must bee between -180 -> 180";
    QTest::newRow("hue bottom") << hue << -180 << "";
    QTest::newRow("hue above") << hue << 181 << "Value 181 out of range. Value must bee between -180 -> 180";
    QTest::newRow("sharpness above") << sharpness << 11 << "Value 11 out of range. Value must bee between 0 -> 10";
    QTest::newRow("gamma zero") << gamma << 0 << "Value 0 out of range. Value must bee between 1 -> 500";
    QTest::newRow("gamma top") << gamma << 500 << "";
}

void ColorControlTest::rangeErrors()
{
    QFETCH(Setter, set);
    QFETCH(int, value);
    QFETCH(QString, text);
    ColorControl c;
    const ColorSettings before = c.current();
    if (text.isEmpty()) {
        set(c, value);
        QVERIFY(c.current() != before);
        return;
    }
    try {
        set(c, value);
        QFAIL("accepted a value out of range");
    } catch (const ColorRangeError &error) {
        QCOMPARE(error.message(), text);
    }
    QVERIFY(c.current() == before); // the setting keeps its old value
}

void ColorControlTest::resetTakesTheDefaultRecord()
{
    ColorControl c;
    QCOMPARE(c.current().Brightness, 750);
    QCOMPARE(c.current().Sharpness, 5);
    QCOMPARE(c.current().Gamma, 1);
    c.setBrightness(9000);
    c.setColorEnable(false);
    c.resetToDefaults();
    QVERIFY(c.current() == ColorSettings{});
    // A renderer with defaults of its own: reset then brings those.
    ColorSettings renderer;
    renderer.Brightness = 5000;
    renderer.Contrast = 12000;
    c.rendererConnected(renderer);
    QVERIFY(c.current() == ColorSettings{});
    c.resetToDefaults();
    QVERIFY(c.current() == renderer);
}

QTEST_APPLESS_MAIN(ColorControlTest)
#include "test_color_control.moc"
