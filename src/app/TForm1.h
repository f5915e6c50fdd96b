#pragma once
// The main window: transport strip, status and title lines, seek bar, volume
// slider and the popup menu that shows and hides the other windows. It owns the
// start-up and shut-down work: stored playlist, settings, language tables.
#include "settings/LineTable.h"
#include "system/SystemServices.h"
#include "ui/BarPopupMenu.h"
#include "ui/MainWindowLink.h"
#include "ui/MinimisedWindows.h"
#include "ui/SeekSlider.h"
#include "ui/ToolWindow.h"

#include <QMap>
#include <QPointer>
#include <QStringList>

#include <memory>

class QAction;
class QLabel;
class QSlider;
class QTimer;
class QToolButton;
class ClickDragBar;
class ImageList;
class IniFile;
class PlaylistModel;
class StoredWindow;
class MediaGraph;
class PlaybackController;
class QSystemTrayIcon;
class QTranslator;

class TForm1 : public ToolWindow, public MainWindowLink {
    Q_OBJECT
public:
    TForm1(const QString &programDir, Dialogs &dialogs, const ImageList &images, PlaylistModel &playlist,
           const SystemServices &services = {}, QWidget *parent = nullptr);
    ~TForm1() override;

    static QString caption() { return QStringLiteral("Tarnel " TARNEL_VERSION); }

    // Start-up registers each window as it is created, in creation order.
    void registerWindow(WindowId id, QWidget *window, StoredWindow *stored) override;

    // MainWindowLink
    QString programDir() const override { return programDir_; }
    QString stateDir() const override { return stateDir_; }
    QString settingsPath() const override { return stateDir_ + QStringLiteral("nastaveni.ini"); }
    const LineTable &languageLines() const override { return tables_.language; }
    const LineTable &extensionLines() const override { return tables_.extensions; }
    LineTable &shortcutLines() override { return tables_.shortcuts; }
    QString mainCaption() const override { return caption(); }
    QFont mainFont() const override { return font(); }
    QColor mainFontColour() const override { return fontColour_; }
    const MenuBarLook &popupBarLook() const override { return barLook_; }
    void performToggle(WindowId window) override;
    bool isToggleChecked(WindowId window) const override;
    Dialogs &dialogs() override { return dialogs_; }
    const ImageList &images() const override { return images_; }

    // The stored playlist text (Memo1), one path per entry, loaded at creation.
    const QStringList &storedPlaylist() const { return memo1_; }

    QString languageCode() const override { return languageCode_; }
    void setLanguageCode(const QString &code) { languageCode_ = code; }
    bool showElapsed() const { return showElapsed_; }
    void setShowElapsed(bool on) { showElapsed_ = on; }
    bool updateFound() const { return updateFound_; }
    void setUpdateFound(bool found) override { updateFound_ = found; }
    void applyChosenFont(const QFont &font, const QColor &colour) override;
    void setDeleteShortcut(const QKeySequence &sequence) override;
    void restartWithLanguage(const QString &code) override;
    void closeProgram() override { close(); }
    // A language change asked for a new copy once this one has closed.
    bool restartRequested() const { return restartRequested_; }

    // Lays the windows without a stored place (a first start) out on the screen the
    // program starts on, around those that have one, once all are created.
    void arrangeFirstStart();

    // Wires the transport, seek bar, time label and volume slider to playback.
    void attachPlayback(PlaybackController &controller, MediaGraph &graph);
    PlaybackController *controller() const { return controller_; }
    // Shows a window without touching its menu check mark (the controller's video request).
    void showWindowQuietly(WindowId id);
    // Every shown window goes: into the tray where there is one, else the main window
    // to the task bar. The way back (the tray's double click, or the main window
    // restored) brings back exactly the windows that were shown.
    void Minimalizovat1Click();
    void CoolTrayIcon1DblClick();
    QSystemTrayIcon *trayIcon() const { return CoolTrayIcon1; }

    // A file handed over by a second instance (the bytes of its first argument).
    void receiveHandOff(const QByteArray &pathBytes);

    // Closes as close() does, for a termination signal: nobody may be there to answer a
    // message box, so a failed save is written to standard error instead.
    void closeForSignal();
    bool closedForSignal() const { return closeFromSignal_; }
    // A save at the close failed: the program's exit status says so.
    bool saveFailed() const { return saveFailed_; }

    // Title line marquee step (Timer1).
    void RotateTitle();
    void setTitleText(const QString &text);
    // Whether the title is too wide to stand still (the marquee has something to move).
    bool titleNeedsScrolling() const;
    // The whole title as rotated now; Label3 holds only as much of it as can be seen.
    QString titleText() const;
    // Whether the tray animation runs now.
    bool trayAnimating() const;

    // Computer-control commands (SystemMenu.cpp).
    void Vypnoutwin1Click();
    void Odhlasit1Click();
    void Cas1Click();
    void Vypnout1Click();
    void Restart1Click();
    void Uspat1Click();
    void Vypnoutmonitor1Click();
    void MonitordoStandby1Click();
    void Zapnutimonitoru1Click();
    void Zapnout1Click();
    void Vypnout2Click();
    void Zapnoutpristartu1Click();
    void Vypnoutpristartu1Click();
    void Levak1Click();
    void Pravak1Click();
    // Drive items: the drive is the item's (its data names the device).
    void DriveQueryClick(QAction *item);
    void DriveOpenClick(QAction *item);
    void DriveCloseClick(QAction *item);
    const SystemServices &systemServices() const { return services_; }

    QAction *menuItem(const QString &objectName) const;
    const QList<WindowId> &registeredOrder() const { return creationOrder_; }
    BarPopupMenu *popupMenu() const { return menu_; }
    void popupAt(const QPoint &globalPos);

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QToolButton *SpeedButton3 = nullptr;
    QToolButton *SpeedButton4 = nullptr;
    QToolButton *SpeedButton5 = nullptr;
    SeekSlider *DSTrackBar1 = nullptr;
    ClickDragBar *ProgressBar1 = nullptr;
    QTimer *Timer1 = nullptr;
    QSystemTrayIcon *CoolTrayIcon1 = nullptr;

Q_SIGNALS:
    // The close path starts (before anything is saved).
    void closing();
    // The close path has run; the program ends.
    void closed();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    bool FormClose();
    void showRefusedHandOffs();
    void reportSaveFailure(const QString &text, const QString &reason);
    void buildMenu();
    void buildDriveMenus();
    void connectSystemCommands();
    void applyCaptions();
    void loadStoredPlaylist();
    void readSettings(const IniFile &ini);
    void writeOwnSettings(IniFile &ini) const;
    void setUpTray();
    // Qt's own texts (file, font and message dialogs) in the program's language.
    void loadQtTranslations();
    // Timer1 runs only while the window is seen and the title has somewhere to move.
    void updateMarquee();
    // Puts the visible part of the rotated title into Label3. Measuring and painting
    // stop a little past the window's width, so a name of a megabyte costs what fits.
    void showTitle();
    QString rotatedPrefix(qsizetype n) const;
    // The tray animation runs only while the tray icon is shown and something plays.
    void updateTrayAnimation();

    QString programDir_;
    QString stateDir_;
    QString title_;
    qsizetype titleOffset_ = 0;
    SystemServices services_;
    Dialogs &dialogs_;
    const ImageList &images_;
    PlaylistModel &playlist_;
    LanguageTables tables_;
    // Handed names with a line break, waiting for their one box.
    QStringList refusedHandOffs_;
    QTimer *refusalTimer_ = nullptr;
    bool refusalBoxOpen_ = false;
    QStringList memo1_;
    QString languageCode_ = QStringLiteral("cs");
    QColor fontColour_;
    bool showElapsed_ = true;
    bool updateFound_ = false;
    bool closing_ = false;
    bool closeFromSignal_ = false;
    bool saveFailed_ = false;
    bool restartRequested_ = false;
    bool playlistSafeToReplace_ = true;
    MenuBarLook barLook_;
    BarPopupMenu *menu_ = nullptr;
    PlaybackController *controller_ = nullptr;
    QTimer *trayTimer_ = nullptr;
    int trayFrame_ = 0;
    MinimisedWindows minimised_;
    std::unique_ptr<QTranslator> qtTranslator_;

    struct Registered {
        QPointer<QWidget> window;
        StoredWindow *stored = nullptr;
        QAction *toggle = nullptr;
    };
    QMap<WindowId, Registered> windows_;
    QList<WindowId> creationOrder_;
};
