#pragma once
// The video window: caption strip, the video surface and the button bar with the
// colour-controls button and the seven DVD buttons (shown only while a DVD plays).
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

class MainWindowLink;
class MediaGraph;
class VideoSurface;
class QToolButton;

class TForm3 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    TForm3(MainWindowLink &main, MediaGraph &graph);

    void writeSettings(IniFile &ini) const override;
    void setDvdButtonsVisible(bool visible);

    VideoSurface *DSVideoWindowEx21 = nullptr;
    QWidget *Panel1 = nullptr;
    QToolButton *SpeedButton[9] = {}; // 1..8

private:
    void FormCreate();
    MainWindowLink &main_;
};
