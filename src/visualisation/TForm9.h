#pragma once
// The visualisation window: the live waveform of what is being heard, a green line on
// black redrawn from the audio tap's block every 25 ms. Created last; its creation sets
// the stored volume on the media graph and starts playback. It also relays the DVD
// playing time to the main window's time label.
//
// Cost: while nobody sees the waveform (window hidden, or mode 0) nothing is timed or
// drawn: the window holds the tap (AudioTap::setVisualHeld), whose timer then stops and
// asks the pipeline nothing. The tap stays enabled, so its store of recent audio stays
// filled, and the first block after showing (or choosing WaveForm) comes on the next
// 25 ms tick. Turning the tap off instead would empty the store, and the first block
// after showing would wait until audio stored since is being heard.
//
// Threads: GUI thread only (the tap emits its blocks there).
#include "playback/AudioTap.h"
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"
#include "visualisation/DCWaveform.h"
#include "visualisation/WaveformPicture.h"

#include <QPointer>

#include <functional>
#include <memory>

class BarPopupMenu;
class MainWindowLink;
class MediaGraph;
class QAction;
class QVBoxLayout;
class X11VideoOutput;

// The paint area: paints through the window's handler, every pixel opaque. When the
// window only shows a picture (the waveform, 40 times a second), the picture is copied
// straight into the window's backing store where that is a 32-bit image at scale 1 (the
// raster backing stores of X11 and offscreen): no painter is set up for it, which cost
// more than the copy. On an X display the picture skips Qt's painting altogether and
// goes to the area's own native window through X11VideoOutput (present()). Anywhere else
// (grab, print, other formats) the handler paints.
class PaintArea : public QWidget {
    Q_OBJECT
public:
    explicit PaintArea(QWidget *parent);
    ~PaintArea() override;
    // Shows the picture now, through X where the area draws that way; false: repaint().
    bool present();
    QPaintEngine *paintEngine() const override;
    std::function<void(QPainter &)> paintHandler;
    // The picture to copy at (0, 0); the rest of the area is black. Null: the handler only.
    const QImage *picture = nullptr;
    // Paint events served by the copy (tests).
    int directCopies() const { return directCopies_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    bool copyToBackingStore(const QRegion &region);
    int directCopies_ = 0;
    std::unique_ptr<X11VideoOutput> output_;
    bool outputTried_ = false;
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

    // Receives the DVD playing time as text (the main window's time label); set by the
    // start-up code.
    void setDvdTimeHandler(std::function<void(const QString &)> handler) { dvdTimeHandler_ = std::move(handler); }

    // The tap's pace while the waveform is seen (40 blocks a second); while it is not,
    // the tap is held and delivers nothing.
    static constexpr int VisualInterval = 25;

    // 0 none, 1 waveform.
    int VisualMode() const { return visualMode_; }
    const QImage &picture() const { return picture_.image(); }
    // The size the picture takes: the paint area below the caption strip.
    QSize paintAreaSize() const;
    // The picture's size: the paint area in device pixels, one point per device column,
    // so that on a scaled screen the line fills the area sharply.
    QSize pictureSize() const;

    // Handlers, public so the start-up code and tests can drive them as the events would.
    void None1Click(int tag);
    void BcBarPopupMenu1Popup();
    void DSPackDCDSPFilter1VisualData(const char *data, int sizeBytes, BlockFormat format);
    void DCWaveform1WaveformData(TDCWaveform *sender, const TDCWaveform::Row *data, int minY, int maxY,
                                 int count, int channels);
    void FilterGraph1DVDCurrentHMSFTime(int hours, int minutes, int seconds, int frames);

    // Heap member: its table is 320 KB.
    const std::unique_ptr<TDCWaveform> DCWaveform1;
    PaintArea *PaintBox1 = nullptr;
    BarPopupMenu *BcBarPopupMenu1 = nullptr;
    QAction *None1 = nullptr;
    QAction *WaveForm1 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void FormCreate(int volumePosition, bool updateFound, const std::function<void()> &playAction);
    void FormResize();
    void PaintBox1Paint(QPainter &painter);
    void drawLine(const TDCWaveform::Row *data, int count);
    void setTapPace();
    bool waveformSeen() const;

    MainWindowLink &main_;
    MediaGraph &graph_;
    QPointer<AudioTap> tap_; // the graph's, outlives us in practice; guarded anyway
    QVBoxLayout *layout_ = nullptr;
    int visualMode_ = 1;
    WaveformPicture picture_;
    // Points computed while hidden and not drawn yet (count of the last block).
    int pendingCount_ = -1;
    std::function<void(const QString &)> dvdTimeHandler_;
};
