#pragma once
// Window placement in the settings file: Sirka, Vyska (resizable windows only),
// ZLeva, ZHora and Videt, read in that order when a window is created.
#include <QColor>
#include <QFont>
#include <QSize>
#include <QString>

class IniFile;
class QWidget;

namespace placement {

// Reads size (when defaultSize is valid), then position; applies them; returns Videt.
bool read(const IniFile &ini, const QString &section, QWidget &window, QSize defaultSize);
// Moves the window to a stored position, kept so that its caption strip lies on a
// screen: a window stored off every screen (another monitor, a wild value) comes back.
void moveTo(QWidget &window, int left, int top);
// A stored size within what the screens can show, and not below the window's minimum.
void resizeTo(QWidget &window, int width, int height);
// Writes Sirka/Vyska (when sized), ZLeva, ZHora and Videt (when withVisible).
// Positions are written only where the platform reports them (not on native Wayland,
// where every window reads 0,0): the stored ones are kept as they were.
void write(IniFile &ini, const QString &section, const QWidget &window, bool sized, bool withVisible = true);
void writePosition(IniFile &ini, const QString &section, const QWidget &window);

// Whether the platform reports and sets top-level window positions. The platform's
// answer unless set (a test standing in for a platform that does not).
bool positionsKnown();
void setPositionsKnown(bool known);
void resetPositionsKnown();

// A window hidden because the program went into the tray or the task bar is still
// the user's shown window: it is stored as visible and comes back on restore.
void setHiddenByMinimise(QWidget &window, bool hidden);
bool hiddenByMinimise(const QWidget &window);

} // namespace placement

// Names a control and puts it at its place in the window's design.
template <typename W>
W *placeControl(W *control, const char *objectName, int x, int y, int width, int height)
{
    control->setObjectName(QString::fromLatin1(objectName));
    control->setGeometry(x, y, width, height);
    return control;
}

// Applies the main window's font and font colour to a window.
void applyMainFont(QWidget &window, const QFont &font, const QColor &colour);
