#include "ui/FirstLayout.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

namespace first_layout {

namespace {

// Edges a window may be put against: the area's and those of the windows placed.
QList<QPoint> candidates(const QRect &area, QSize size, const QList<QRect> &placed)
{
    QList<int> xs{area.left(), area.right() + 1 - size.width()};
    QList<int> ys{area.top(), area.bottom() + 1 - size.height()};
    for (const QRect &r : placed) {
        xs << r.right() + 1 << r.left() - size.width() << r.left();
        ys << r.bottom() + 1 << r.top() - size.height() << r.top();
    }
    QList<QPoint> points;
    for (int y : ys)
        for (int x : xs)
            if (area.contains(QRect(QPoint(x, y), size)))
                points.append(QPoint(x, y));
    // Topmost first, then leftmost.
    std::sort(points.begin(), points.end(),
              [](const QPoint &a, const QPoint &b) { return std::make_pair(a.y(), a.x()) < std::make_pair(b.y(), b.x()); });
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

qint64 overlapArea(const QRect &a, const QRect &b)
{
    const QRect i = a.intersected(b);
    return i.isEmpty() ? 0 : qint64(i.width()) * i.height();
}

} // namespace

QList<Place> arrange(const QRect &area, const Window &mainWindow, const QList<Window> &windows)
{
    QList<Place> places;
    const QRect main(mainWindow.stored.value_or(area.topLeft()), mainWindow.size);
    places.append({main.topLeft(), true});
    QList<QRect> shown{main};
    for (const Window &w : windows) {
        places.append({w.stored.value_or(area.topLeft()), w.stored && w.wanted});
        if (w.stored && w.wanted)
            shown.append(QRect(*w.stored, w.size));
    }

    QList<int> left; // fitted nowhere: placed once the shown ones are known
    for (int i = 0; i < windows.size(); ++i) {
        if (windows.at(i).stored)
            continue;
        const QSize size = windows.at(i).size;
        for (const QPoint &p : windows.at(i).wanted ? candidates(area, size, shown) : QList<QPoint>()) {
            const QRect r(p, size);
            if (std::none_of(shown.begin(), shown.end(), [&](const QRect &s) { return s.intersects(r); })) {
                places[i + 1] = {p, true};
                shown.append(r);
                break;
            }
        }
        if (!places.at(i + 1).shown)
            left.append(i);
    }

    for (int i : left) {
        const QSize size = windows.at(i).size;
        // A window larger than the area cannot keep off the main window: below it then.
        Place &place = places[i + 1];
        place.position = QPoint(area.left(), std::min(main.bottom() + 1, std::max(area.top(), area.bottom() + 1 - size.height())));
        std::tuple<int, qint64, int, int> best{std::numeric_limits<int>::max(), 0, 0, 0};
        for (const QPoint &p : candidates(area, size, shown)) {
            const QRect r(p, size);
            if (r.intersects(main))
                continue;
            int covered = 0;
            qint64 overlap = 0;
            for (const QRect &s : shown) {
                const qint64 a = overlapArea(r, s);
                covered += a > 0;
                overlap += a;
            }
            const std::tuple<int, qint64, int, int> score{covered, overlap, p.y(), p.x()};
            if (score < best) {
                best = score;
                place.position = p;
            }
        }
    }
    return places;
}

} // namespace first_layout
