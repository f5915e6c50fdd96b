#pragma once
// The visualisation window: the live waveform of what is being heard. Created last;
// its creation sets the stored volume on the media graph and starts playback.
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

#include <QImage>

#include <functional>

class BarPopupMenu;
class MainWindowLink;
class MediaGraph;
class QAction;

class PaintArea : public QWidget {
    Q_OBJECT
public:
    explicit PaintArea(QWidget *parent);
    std::function<void(QPainter &)> paintHandler;

protected:
    void paintEvent(QPaintEvent *event) override;
};

class TForm9 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    // volumePosition: the main window's volume slider; playAction: the main window's play
    // button action, run at the end of creation unless an update was found.
    TForm9(MainWindowLink &main, MediaGraph &graph, int volumePosition, bool updateFound,
           std::function<void()> playAction);
    ~TForm9() override;

    void writeSettings(IniFile &ini) const override;

    int VisualMode() const { return visualMode_; }
    void None1Click(int tag);
    const QImage &picture() const { return picture_; }

    PaintArea *PaintBox1 = nullptr;
    BarPopupMenu *BcBarPopupMenu1 = nullptr;
    QAction *None1 = nullptr;
    QAction *WaveForm1 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void FormCreate(int volumePosition, bool updateFound, const std::function<void()> &playAction);
    void BcBarPopupMenu1Popup();
    void clearPicture();

    MainWindowLink &main_;
    MediaGraph &graph_;
    int visualMode_ = 1;
    QImage picture_;
};
