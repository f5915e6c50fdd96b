#pragma once
// The windows the program hid when it went into the tray or the task bar, so that
// the way back shows exactly those. A hidden window still counts as shown for the
// settings file (its Videt stays true).
//
// Threads: GUI thread only.
#include <QList>
#include <QPointer>
#include <QWidget>

class MinimisedWindows {
public:
    // Hides every shown top-level window but `keep` (menus and dialogs stay alone).
    void hideShown(const QWidget *keep);
    // Shows again those still hidden, in the order they were hidden; forgets them all.
    void restore();
    // The user showed or hid one of them meanwhile: it is no longer ours to restore.
    void forget(QWidget *window);
    bool isEmpty() const { return hidden_.isEmpty(); }

private:
    QList<QPointer<QWidget>> hidden_;
};
