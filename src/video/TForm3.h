#pragma once
// The video window: caption strip, the video surface and the button bar with the
// colour-controls button and the seven DVD buttons (shown only while a DVD is open).
// While it is the active window and a picture plays, the screen saver is held off.
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

#include <QTimer>

class MainWindowLink;
class MediaGraph;
class PlaybackController;
class ScreenSaverInhibitor;
class VideoSurface;
class QToolButton;

class TForm3 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    TForm3(MainWindowLink &main, MediaGraph &graph);

    void writeSettings(IniFile &ini) const override;
    void setDvdButtonsVisible(bool visible);
    // Wiring done by start-up once the controller and the colour panel exist.
    void setController(PlaybackController *controller) { controller_ = controller; }
    void setColourControls(QWidget *form5) { form5_ = form5; }
    void setScreenSaver(ScreenSaverInhibitor *inhibitor);

    VideoSurface *DSVideoWindowEx21 = nullptr;
    QWidget *Panel1 = nullptr;
    QToolButton *SpeedButton[9] = {}; // 1..8

    // Whether the screen saver should be held off now.
    bool screenSaverWanted() const;

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void SpeedButtonClick(int number);
    void updateScreenSaver();
    void watchFrames(bool on);

    MainWindowLink &main_;
    MediaGraph &graph_;
    PlaybackController *controller_ = nullptr;
    QWidget *form5_ = nullptr;
    ScreenSaverInhibitor *screenSaver_ = nullptr;
    QTimer screenSaverCheck_;
    QMetaObject::Connection frameWatch_;
};
