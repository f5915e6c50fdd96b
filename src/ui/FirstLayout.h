#pragma once
// Where the windows go on a first start, from the screen the program starts on: the
// main window at the top left of the free area, then each window that should show,
// in order, at the topmost, then leftmost place where it covers no shown window. A
// window that fits nowhere starts hidden, placed for when it is opened: where it
// covers the fewest shown windows (then the least of them), never the main window.
//
// Plain geometry, no widgets: the start-up code measures and applies.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace first_layout {

struct Place {
    QPoint position;
    bool shown = false;
};

struct Window {
    QSize size;
    bool wanted = true; // to be shown, if it fits
};

// windows: the other windows in the order they are offered a place. Returns the main
// window's place first, then one per window.
QList<Place> arrange(const QRect &area, QSize mainSize, const QList<Window> &windows);

} // namespace first_layout
