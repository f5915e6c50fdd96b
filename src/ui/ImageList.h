#pragma once
// The main window's image list: every menu and button picture by index.
// Pictures come from the desktop's icon theme; where the theme has none, a glyph
// drawn here stands in, so every index always shows a fitting picture.
#include <QIcon>
#include <QVector>

class ImageList {
public:
    static constexpr int Count = 25;

    ImageList();
    QIcon icon(int index) const;
    // Theme icon name tried first for an index.
    static QString themeName(int index);
    // The drawn stand-in for an index.
    static QIcon drawnIcon(int index);

private:
    QVector<QIcon> icons_;
};

// The three frames of the tray animation (ImageList2).
QVector<QIcon> trayAnimationFrames();
