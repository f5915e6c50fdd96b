#include "VisTestSupport.h"

#include <QFile>

#include <cmath>

FakeMainLink::FakeMainLink()
{
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines.append(QStringLiteral("line %1").arg(i));
    language.setLines(lines);
    look.caption = QStringLiteral("Tarnel");
}

void FakeMainLink::performToggle(WindowId id)
{
    toggles.append(id);
    QWidget *w = windows.value(id);
    if (!w)
        return;
    w->setVisible(!w->isVisible());
    checked[id] = w->isVisible();
}

void FakeMainLink::writeSettings(const QByteArray &ini) const
{
    QFile file(settingsPath());
    if (file.open(QIODevice::WriteOnly))
        file.write(ini);
}

namespace vis_test {

std::vector<std::int16_t> sineBlock(int frames, int channels, double frequencyHz, int sampleRate, double amplitude)
{
    std::vector<std::int16_t> out(std::size_t(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const double v = amplitude * 32767.0 * std::sin(2.0 * M_PI * frequencyHz * i / sampleRate);
        for (int c = 0; c < channels; ++c)
            out[std::size_t(i) * channels + c] = std::int16_t(std::lround(v));
    }
    return out;
}

std::vector<std::int16_t> constantBlock(int frames, int channels, std::int16_t value)
{
    return std::vector<std::int16_t>(std::size_t(frames) * channels, value);
}

bool isGreen(QRgb pixel)
{
    return qRed(pixel) == 0 && qGreen(pixel) == 255 && qBlue(pixel) == 0;
}

int greenColumns(const QImage &image)
{
    int columns = 0;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (isGreen(image.pixel(x, y))) {
                ++columns;
                break;
            }
        }
    }
    return columns;
}

bool allBlack(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0)
                return false;
    return true;
}

std::pair<int, int> greenRowSpan(const QImage &image)
{
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isGreen(image.pixel(x, y))) {
                if (top < 0)
                    top = y;
                bottom = y;
                break;
            }
        }
    }
    return {top, bottom};
}

} // namespace vis_test
