#include "ui/ImageList.h"

#include "ui/IconThemeNames.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr const char *themeNames[ImageList::Count] = {
    "preferences-system",       // 0 settings
    "media-playback-start",     // 1 play
    "video-display",            // 2 video window
    "preferences-desktop-display", // 3 colour controls
    "media-skip-forward",       // 4 next
    "media-playback-pause",     // 5 pause
    "media-skip-backward",      // 6 previous
    "list-add",                 // 7 add files
    "view-list-details",        // 8 playlist
    "edit-delete",              // 9 delete / end
    "audio-x-generic",          // 10 radio
    "go-first",                 // 11 previous chapter
    "media-playback-stop",      // 12 stop
    "media-seek-forward",       // 13 fast forward
    "go-last",                  // 14 next chapter
    "media-seek-backward",      // 15 fast backward
    "drive-optical",            // 16 drives
    "media-eject",              // 17 open door
    "media-optical",            // 18 close door
    "dialog-question",          // 19 drive query
    "document-save-as",         // 20 converter
    "audio-volume-high",        // 21 volume
    "computer",                 // 22 computer control
    "go-down",                  // 23 minimise
    "utilities-system-monitor", // 24 visualisation
};

QPolygonF triangle(qreal x, qreal y, qreal w, qreal h, bool right)
{
    if (right)
        return QPolygonF({QPointF(x, y), QPointF(x + w, y + h / 2), QPointF(x, y + h)});
    return QPolygonF({QPointF(x + w, y), QPointF(x, y + h / 2), QPointF(x + w, y + h)});
}

} // namespace

QString ImageList::themeName(int index)
{
    return index >= 0 && index < Count ? QString::fromLatin1(themeNames[index]) : QString();
}

QIcon ImageList::drawnIcon(int index)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(30, 30, 30);
    p.setPen(QPen(ink, 1.2));
    p.setBrush(ink);
    switch (index) {
    case 1: p.drawPolygon(triangle(4, 2, 9, 12, true)); break;
    case 4: p.drawPolygon(triangle(2, 3, 7, 10, true)); p.drawRect(11, 3, 2, 10); break;
    case 5: p.drawRect(4, 3, 3, 10); p.drawRect(9, 3, 3, 10); break;
    case 6: p.drawRect(3, 3, 2, 10); p.drawPolygon(triangle(7, 3, 7, 10, false)); break;
    case 7: p.drawRect(7, 2, 2, 12); p.drawRect(2, 7, 12, 2); break;
    case 8: for (int y = 3; y <= 12; y += 3) p.drawRect(2, y, 12, 1); break;
    case 9: p.setPen(QPen(QColor(180, 0, 0), 2.5)); p.drawLine(3, 3, 13, 13); p.drawLine(13, 3, 3, 13); break;
    case 11: p.drawRect(2, 3, 2, 10); p.drawPolygon(triangle(5, 3, 9, 10, false)); break;
    case 12: p.drawRect(3, 3, 10, 10); break;
    case 13: p.drawPolygon(triangle(1, 3, 7, 10, true)); p.drawPolygon(triangle(8, 3, 7, 10, true)); break;
    case 14: p.drawPolygon(triangle(2, 3, 9, 10, true)); p.drawRect(12, 3, 2, 10); break;
    case 15: p.drawPolygon(triangle(1, 3, 7, 10, false)); p.drawPolygon(triangle(8, 3, 7, 10, false)); break;
    case 16: case 18: p.setBrush(Qt::NoBrush); p.drawEllipse(2, 2, 12, 12); p.drawEllipse(6, 6, 4, 4); break;
    case 17: p.drawPolygon(QPolygonF({QPointF(8, 2), QPointF(14, 9), QPointF(2, 9)})); p.drawRect(2, 11, 12, 2); break;
    case 19: {
        QFont f = p.font();
        f.setPixelSize(14);
        f.setBold(true);
        p.setFont(f);
        p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case 21: p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(5, 6), QPointF(9, 2), QPointF(9, 14), QPointF(5, 10), QPointF(2, 10)}));
        p.setBrush(Qt::NoBrush); p.drawArc(8, 4, 6, 8, -60 * 16, 120 * 16); break;
    case 23: p.drawRect(3, 11, 10, 2); break;
    case 24: {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 160, 0), 1.5));
        QPainterPath wave;
        wave.moveTo(1, 8);
        wave.cubicTo(4, 1, 6, 1, 8, 8);
        wave.cubicTo(10, 15, 12, 15, 15, 8);
        p.drawPath(wave);
        break;
    }
    default: {
        // Windows and tools: a small window frame with a mark of the index's kind.
        p.setBrush(Qt::NoBrush);
        p.drawRect(2, 3, 12, 10);
        p.setBrush(index == 10 ? QColor(200, 0, 0) : index == 20 ? QColor(0, 0, 200) : ink);
        p.drawRect(2, 3, 12, 3);
        break;
    }
    }
    return QIcon(pm);
}

ImageList::ImageList()
{
    QStringList names;
    for (int i = 0; i < Count; ++i)
        names.append(themeName(i));
    // Qt is asked only for names the theme has: its lookup of a missing name walks
    // every folder of every theme (see IconThemeNames.h).
    const QSet<QString> themed = icon_theme::available(names);
    icons_.reserve(Count);
    for (int i = 0; i < Count; ++i) {
        const QIcon icon = themed.contains(names[i]) ? QIcon::fromTheme(names[i]) : QIcon();
        icons_.append(icon.isNull() ? drawnIcon(i) : icon);
    }
}

QIcon ImageList::icon(int index) const
{
    return index >= 0 && index < icons_.size() ? icons_.at(index) : QIcon();
}

QVector<QIcon> trayAnimationFrames()
{
    QVector<QIcon> frames;
    for (int f = 0; f < 3; ++f) {
        QPixmap pm(22, 22);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(1, 1, 20, 20);
        p.setBrush(Qt::white);
        // A note whose beam rises frame by frame.
        p.drawEllipse(5, 12, 6, 5);
        p.drawRect(10, 4 + f, 2, 11 - f);
        p.drawRect(10, 4 + f, 6, 2);
        frames.append(QIcon(pm));
    }
    return frames;
}
