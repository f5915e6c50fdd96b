#include "visualisation/WaveformPicture.h"

#include <algorithm>
#include <utility>

void WaveformPicture::resize(QSize size, qreal ratio)
{
    if (size == image_.size()) {
        if (!image_.isNull() && image_.devicePixelRatio() != ratio)
            image_.setDevicePixelRatio(ratio);
        return;
    }
    if (size.isEmpty()) {
        image_ = QImage();
        return;
    }
    image_ = QImage(size, QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio);
    clear();
}

void WaveformPicture::clear()
{
    if (!image_.isNull())
        image_.fill(Background);
}

namespace {

// The picture's pixels, fetched once per drawing (bits() checks for sharing on every call).
struct Pixels {
    QRgb *base;
    qsizetype step; // pixels per scan line
    int height;

    // Column x from y0 to y1 inclusive (either order), clipped to the picture.
    void fillSpan(int x, std::int64_t y0, std::int64_t y1) const
    {
        if (y0 > y1)
            std::swap(y0, y1);
        y0 = std::max<std::int64_t>(y0, 0);
        y1 = std::min<std::int64_t>(y1, height - 1);
        QRgb *p = base + y0 * step + x;
        for (std::int64_t y = y0; y <= y1; ++y, p += step)
            *p = WaveformPicture::LineColour;
    }
};

} // namespace

void WaveformPicture::drawPoints(const std::int32_t *row, int width)
{
    clear();
    if (image_.isNull() || !row || width <= 0)
        return;
    width = std::min(width, image_.width());
    const Pixels px{reinterpret_cast<QRgb *>(image_.bits()),
                    image_.bytesPerLine() / qsizetype(sizeof(QRgb)), image_.height()};

    // The segment from (x-1, a) to (x, b) has one column of run: column x-1 takes the
    // first half of the rise, column x the rest up to b, as Bresenham would. 64-bit so
    // the half-rise cannot overflow at extreme MinY/MaxY.
    px.fillSpan(0, row[0], row[0]);
    for (int x = 1; x < width; ++x) {
        const std::int64_t a = row[x - 1];
        const std::int64_t b = row[x];
        const std::int64_t mid = a + (b - a) / 2;
        px.fillSpan(x - 1, a, mid);
        px.fillSpan(x, b > a ? mid + 1 : b < a ? mid - 1 : b, b);
    }
}
