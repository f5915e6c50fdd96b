#pragma once
// What the other windows take from the main window: its captions and tables, its
// font, its menu toggles, its popup bar. The main window implements it; windows get
// it when they are created, so no window reaches another through a global.
#include <QColor>
#include <QFont>
#include <QKeySequence>
#include <QString>

class LineTable;
class Dialogs;
class ImageList;
class QWidget;
class StoredWindow;
struct MenuBarLook;

// The windows the main menu shows and hides, by their number.
enum class WindowId { Settings = 2, Video = 3, Playlist = 4, Radio = 6, Converter = 7, Volume = 8, Visualisation = 9 };

class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;

    virtual QString programDir() const = 0; // shipped data, with a trailing "/"
    // The files the player rewrites (settings, lists, shortcuts), with a trailing "/".
    virtual QString stateDir() const = 0;
    virtual QString settingsPath() const = 0;

    virtual const LineTable &languageLines() const = 0;  // ListBox1
    virtual const LineTable &extensionLines() const = 0; // ListBox2
    virtual LineTable &shortcutLines() = 0;               // ListBox3

    virtual QString languageCode() const = 0;
    virtual QString mainCaption() const = 0;
    virtual QFont mainFont() const = 0;
    virtual QColor mainFontColour() const = 0;
    virtual const MenuBarLook &popupBarLook() const = 0;

    // Each window registers itself while it is created, before it reads its placement.
    virtual void registerWindow(WindowId id, QWidget *window, StoredWindow *stored) = 0;

    // Performs the window's toggle item of the main menu (visibility and check mark).
    virtual void performToggle(WindowId window) = 0;
    virtual bool isToggleChecked(WindowId window) const = 0;

    virtual Dialogs &dialogs() = 0;
    virtual const ImageList &images() const = 0;

    // What the settings window changes elsewhere. The defaults do nothing.
    // UpdateFound: the last update check found another release.
    virtual void setUpdateFound(bool found) { Q_UNUSED(found); }
    // Face, size and colour for the main window, the settings, video, playlist and
    // radio windows, in this order.
    virtual void applyChosenFont(const QFont &font, const QColor &colour) { Q_UNUSED(font); Q_UNUSED(colour); }
    // The playlist's delete item takes a new shortcut at once.
    virtual void setDeleteShortcut(const QKeySequence &sequence) { Q_UNUSED(sequence); }
    // Stores the language code, closes through the normal close path (settings and
    // playlist saved) and has a new copy of the program started.
    virtual void restartWithLanguage(const QString &code) { Q_UNUSED(code); }
    // The normal close path: settings and playlist saved, the program ends.
    virtual void closeProgram() {}
};
