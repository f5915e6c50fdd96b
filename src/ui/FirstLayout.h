#pragma once
// Where windows without a stored place go, from the screen the program starts on:
// windows with a stored place keep it; the main window, if it has none, at the top
// left of the free area; then each window that should show, in order, at the
// topmost, then leftmost place where it covers no shown window. A window that fits
// nowhere starts hidden, placed for when it is opened: where it covers the fewest
// shown windows (then the least of them), never the main window.
//
// Plain geometry, no widgets: the start-up code measures and applies.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace first_layout {

struct Place {
    QPoint position;
    bool shown = false;
};

struct Window {
    QSize size;
    bool wanted = true;           // to be shown (if it has no place of its own, when it fits)
    std::optional<QPoint> stored; // its own place, kept
};

// windows: the other windows in the order they are offered a place. Returns the main
// window's place first, then one per window.
QList<Place> arrange(const QRect &area, const Window &main, const QList<Window> &windows);

} // namespace first_layout
