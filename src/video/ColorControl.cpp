#include "video/ColorControl.h"

namespace {
void check(int value, int minimum, int maximum, const char *rangeText)
{
    if (value < minimum || value > maximum)
        throw ColorRangeError(QStringLiteral("Value %1 out of range. Value must bee between %2")
                                  .arg(value)
                                  .arg(QString::fromLatin1(rangeText)));
}
} // namespace

ColorRangeError::ColorRangeError(const QString &text)
    : std::runtime_error(text.toStdString())
{
}

void ColorControl::setBrightness(int value)
{
    check(value, 0, 10000, "0 -> 10.000");
    current_.Brightness = value;
}

void ColorControl::setContrast(int value)
{
    check(value, 0, 20000, "0 -> 20.000");
    current_.Contrast = value;
}

void ColorControl::setHue(int value)
{
    check(value, -180, 180, "-180 -> 180");
    current_.Hue = value;
}

void ColorControl::setSaturation(int value)
{
    check(value, 0, 20000, "0 -> 20.000");
    current_.Saturation = value;
}

void ColorControl::setSharpness(int value)
{
    check(value, 0, 10, "0 -> 10");
    current_.Sharpness = value;
}

void ColorControl::setGamma(int value)
{
    check(value, 1, 500, "1 -> 500");
    current_.Gamma = value;
}

VideoBalance ColorControl::toBalance(const ColorSettings &s)
{
    constexpr double neutralBrightness = 750.0;
    VideoBalance b;
    b.brightness = s.Brightness <= neutralBrightness ? (s.Brightness - neutralBrightness) / neutralBrightness
                                                     : (s.Brightness - neutralBrightness) / (10000.0 - neutralBrightness);
    b.contrast = s.Contrast / 10000.0;
    b.hue = s.Hue / 180.0;
    b.saturation = s.ColorEnable ? s.Saturation / 10000.0 : 0.0;
    return b;
}
