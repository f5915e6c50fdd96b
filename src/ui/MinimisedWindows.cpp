#include "ui/MinimisedWindows.h"

#include "ui/Placement.h"

#include <QApplication>

#include <utility>

void MinimisedWindows::hideShown(const QWidget *keep)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w == keep || !w->isVisible() || w->isModal())
            continue;
        const Qt::WindowType type = w->windowType();
        if (type != Qt::Window && type != Qt::Tool)
            continue; // popups, tool tips, the desktop
        placement::setHiddenByMinimise(*w, true);
        hidden_.append(w);
        w->hide();
    }
}

void MinimisedWindows::restore()
{
    const QList<QPointer<QWidget>> windows = std::exchange(hidden_, {});
    for (const QPointer<QWidget> &w : windows) {
        if (!w || !placement::hiddenByMinimise(*w))
            continue;
        placement::setHiddenByMinimise(*w, false);
        w->show();
    }
}

void MinimisedWindows::forget(QWidget *window)
{
    if (!window)
        return;
    placement::setHiddenByMinimise(*window, false);
    hidden_.removeAll(window);
}
