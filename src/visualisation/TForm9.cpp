#include "visualisation/TForm9.h"

#include "common/TimeFormat.h"
#include "playback/MediaGraph.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/BarPopupMenu.h"
#include "ui/ImageList.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"
#include "video/X11VideoOutput.h"

#include <QActionGroup>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

PaintArea::PaintArea(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PaintArea::~PaintArea() = default;

QPaintEngine *PaintArea::paintEngine() const
{
    return output_ ? nullptr : QWidget::paintEngine();
}

bool PaintArea::present()
{
    if (!output_ || !picture || picture->isNull())
        return false;
    output_->showImage(*picture);
    return true;
}

bool PaintArea::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (!outputTried_) {
            outputTried_ = true;
            // Only a picture is shown here: it goes at its own size, the rest black.
            if ((output_ = X11VideoOutput::attach(*this)))
                output_->setScaleToFit(false);
        }
        if (output_)
            output_->setVisible(true);
        break;
    case QEvent::Hide:
        if (output_)
            output_->setVisible(false);
        break;
    case QEvent::Resize:
        if (output_)
            output_->setSize(X11VideoOutput::deviceSize(*this));
        break;
    case QEvent::WinIdChange:
        if (output_)
            output_->setWindow(internalWinId(), X11VideoOutput::deviceSize(*this));
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void PaintArea::paintEvent(QPaintEvent *event)
{
    if (output_) {
        if (!present())
            output_->redraw();
        return;
    }
    if (copyToBackingStore(event->region()))
        return;
    QPainter p(this);
    if (paintHandler)
        paintHandler(p);
}

bool PaintArea::copyToBackingStore(const QRegion &region)
{
    if (!picture || picture->isNull() || picture->format() != QImage::Format_RGB32)
        return false;
    // During a paint event the widget is redirected to what it is painted into.
    QPoint offset;
    QPaintDevice *device = redirected(&offset);
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto *target = static_cast<QImage *>(device);
    switch (target->format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        break; // one 0xAARRGGBB word per pixel; every pixel of ours is opaque
    default:
        return false;
    }
    if (target->devicePixelRatio() != 1.0)
        return false;
    // Our pixel (x, y) is the target's (x, y) - offset.
    const QRect targetArea = QRect(QPoint(0, 0), target->size()).translated(offset);
    const QRect pictureArea = picture->rect();
    const qsizetype targetStep = target->bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb *const base = reinterpret_cast<QRgb *>(target->bits());
    for (const QRect &r : region) {
        const QRect area = r & rect() & targetArea;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            QRgb *row = base + qsizetype(y - offset.y()) * targetStep - offset.x();
            // The picture's columns on this line (none below it), then black to the end.
            const int from = area.left();
            const int to = area.right() + 1;
            int x = from;
            if (y <= pictureArea.bottom()) {
                const int end = std::clamp(pictureArea.right() + 1, from, to);
                const auto *src = reinterpret_cast<const QRgb *>(picture->constScanLine(y));
                std::copy(src + from, src + end, row + from);
                x = end;
            }
            std::fill(row + x, row + to, WaveformPicture::Background);
        }
    }
    ++directCopies_;
    return true;
}

TForm9::TForm9(MainWindowLink &main, MediaGraph &graph, int volumePosition, bool updateFound,
               std::function<void()> playAction)
    : ToolWindow(QStringLiteral("Form9"), QStringLiteral("Panel1"), true)
    , DCWaveform1(std::make_unique<TDCWaveform>())
    , main_(main)
    , graph_(graph)
{
    // The margins leave the edges to the window, which resizes from them.
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(EdgeGrip, StripHeight, EdgeGrip, EdgeGrip);
    PaintBox1 = new PaintArea(this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->paintHandler = [this](QPainter &p) { PaintBox1Paint(p); };
    PaintBox1->picture = &picture_.image();
    layout_->addWidget(PaintBox1);

    BcBarPopupMenu1 = new BarPopupMenu(this);
    BcBarPopupMenu1->setObjectName(QStringLiteral("BcBarPopupMenu1"));
    None1 = BcBarPopupMenu1->addAction(QStringLiteral("None"));
    None1->setObjectName(QStringLiteral("None1"));
    WaveForm1 = BcBarPopupMenu1->addAction(QStringLiteral("WaveForm"));
    WaveForm1->setObjectName(QStringLiteral("WaveForm1"));
    auto *modes = new QActionGroup(this);
    for (QAction *a : {None1, WaveForm1}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    None1->setData(0); // the items' Tag
    WaveForm1->setData(1);
    for (QAction *a : {None1, WaveForm1})
        connect(a, &QAction::triggered, this, [this, a] { None1Click(a->data().toInt()); });
    connect(BcBarPopupMenu1, &QMenu::aboutToShow, this, &TForm9::BcBarPopupMenu1Popup);
    // The popup belongs to the paint area, not to the caption strip.
    PaintBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(PaintBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { BcBarPopupMenu1->popup(PaintBox1->mapToGlobal(pos)); });

    DCWaveform1->setMinY(0);
    DCWaveform1->setMaxY(100); // until the first resize
    DCWaveform1->setMixChannels(true);
    DCWaveform1->setSampleSkip(1);
    DCWaveform1->setOnWaveformData([this](TDCWaveform *sender, const TDCWaveform::Row *data, int minY, int maxY,
                                          int count, int channels) {
        DCWaveform1WaveformData(sender, data, minY, maxY, count, channels);
    });

    // The tap: blocks every 25 ms of the audio as it enters the graph's processing.
    tap_ = graph_.audioTap();
    if (tap_) {
        connect(tap_, &AudioTap::visualData, this, &TForm9::DSPackDCDSPFilter1VisualData);
        tap_->setVisualInterval(VisualInterval);
        tap_->setVisualEnabled(true);
    }
    connect(&graph_, &MediaGraph::dvdTimeChanged, this, &TForm9::FilterGraph1DVDCurrentHMSFTime);

    FormCreate(volumePosition, updateFound, playAction);
}

TForm9::~TForm9()
{
    // FormDestroy: the picture goes with us; the graph stops keeping audio for nobody.
    if (tap_) {
        tap_->setVisualHeld(false);
        tap_->setVisualEnabled(false);
    }
}

void TForm9::FormCreate(int volumePosition, bool updateFound, const std::function<void()> &playAction)
{
    main_.registerWindow(WindowId::Visualisation, this, this);
    setMinimumSize(100, 100);
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
    const IniFile ini(main_.settingsPath());
    BcBarPopupMenu1->setLook(main_.popupBarLook());
    None1->setIcon(main_.images().icon(24));
    WaveForm1->setIcon(main_.images().icon(24));
    picture_.resize(pictureSize(), devicePixelRatioF());
    graph_.setVolume(volumePosition);
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI9"), *this, QSize(100, 100));
    // The stored size is the first resize, shown or not (a hidden window gets its resize
    // event only when shown, and would compute with the old span until then).
    FormResize();
    if (visible)
        main_.performToggle(WindowId::Visualisation);
    setStripText(main_.languageLines().line(76, QStringLiteral("Vizualizace")));
    WaveForm1->trigger(); // also sets the tap's pace for the window's visibility
    if (!updateFound && playAction)
        playAction();
}

QSize TForm9::paintAreaSize() const
{
    // What the layout gives PaintBox1, known even before the layout has run (hidden window).
    const QSize size = rect().marginsRemoved(layout_->contentsMargins()).size();
    return size.expandedTo(QSize(0, 0));
}

QSize TForm9::pictureSize() const
{
    return (QSizeF(paintAreaSize()) * devicePixelRatioF()).toSize();
}

void TForm9::None1Click(int tag)
{
    visualMode_ = tag;
    pendingCount_ = -1;
    picture_.resize(pictureSize(), devicePixelRatioF());
    picture_.clear();
    PaintBox1->update();
    setTapPace();
}

bool TForm9::waveformSeen() const
{
    return isVisible() && visualMode_ == 1;
}

void TForm9::setTapPace()
{
    if (!tap_)
        return;
    // Nobody sees the line: no blocks at all (the tap's timer stops, its store is kept).
    tap_->setVisualHeld(!waveformSeen());
}

void TForm9::BcBarPopupMenu1Popup()
{
    None1->setChecked(visualMode_ == 0);
    WaveForm1->setChecked(visualMode_ == 1);
}

void TForm9::DSPackDCDSPFilter1VisualData(const char *data, int sizeBytes, BlockFormat format)
{
    const QSize area = pictureSize();
    // The window may have gone to a screen of another scale since the last resize.
    DCWaveform1->setMaxY(area.height());
    // A paint area wider than the engine's table (8192 points) gets 8192 points; the
    // engine caps NumSamples itself and the drawing stops at the last point, so the
    // columns past 8191 stay black.
    DCWaveform1->setNumSamples(std::min(area.width(), TDCWaveform::MaxPoints));
    picture_.resize(area, devicePixelRatioF()); // reallocates only when the size changed
    if (visualMode_ == 1)
        DCWaveform1->ComputeBlock(data, sizeBytes, format.bitsPerSample, format.channels, format.isFloat);
}

void TForm9::DCWaveform1WaveformData(TDCWaveform *, const TDCWaveform::Row *data, int, int, int count, int)
{
    if (!isVisible()) {
        // Nobody sees the picture: keep the points (they stay in the engine's table)
        // and draw them when the window is shown.
        pendingCount_ = count;
        return;
    }
    drawLine(data, count);
}

void TForm9::drawLine(const TDCWaveform::Row *data, int count)
{
    // One point per pixel column. The tap's block always holds more frames than the area
    // is wide; a shorter block draws only the points it produced (the rest of the row
    // would be an older block's), leaving the remaining columns black.
    const int width = std::min({picture_.size().width(), count, TDCWaveform::MaxPoints});
    picture_.drawPoints(data[0], width);
    pendingCount_ = -1;
    // PaintBox1Paint copies the whole picture in one drawImage. Painted at once rather
    // than through a posted update request: the block's tick has woken the event loop
    // already, and a posted request would wake it a second time 40 times a second.
    if (!PaintBox1->present())
        PaintBox1->repaint();
}

void TForm9::FilterGraph1DVDCurrentHMSFTime(int hours, int minutes, int seconds, int)
{
    const qint64 total = qint64(hours) * 3600 + qint64(minutes) * 60 + seconds;
    const auto clamped =
        std::uint32_t(std::clamp<qint64>(total, 0, std::numeric_limits<std::uint32_t>::max()));
    if (dvdTimeHandler_)
        dvdTimeHandler_(formatHms(clamped));
}

void TForm9::FormResize()
{
    DCWaveform1->setMaxY(pictureSize().height());
}

void TForm9::PaintBox1Paint(QPainter &painter)
{
    const QImage &image = picture_.image();
    if (!image.isNull())
        painter.drawImage(0, 0, image);
    const QRect covered(QPoint(0, 0), image.deviceIndependentSize().toSize());
    if (covered.size() == PaintBox1->size())
        return; // the usual case: the picture covers the area
    // Until the next block resizes the picture, the area it does not cover is black.
    const QRegion uncovered = QRegion(PaintBox1->rect()) - QRegion(covered);
    for (const QRect &r : uncovered)
        painter.fillRect(r, Qt::black);
}

void TForm9::resizeEvent(QResizeEvent *event)
{
    ToolWindow::resizeEvent(event);
    FormResize();
}

void TForm9::showEvent(QShowEvent *event)
{
    ToolWindow::showEvent(event);
    if (visualMode_ == 1 && pendingCount_ >= 0)
        drawLine(DCWaveform1->data(), pendingCount_);
    setTapPace();
}

void TForm9::hideEvent(QHideEvent *event)
{
    ToolWindow::hideEvent(event);
    setTapPace();
}

void TForm9::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI9"), *this, true);
}
