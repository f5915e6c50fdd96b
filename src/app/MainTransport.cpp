// The main window's playback side: transport buttons, seek bar, time label, volume
// slider, and the tray icon with its animation.
#include "app/TForm1.h"
#include "ui/Dialogs.h"

#include "playback/GstMediaGraph.h"
#include "playback/MediaGraph.h"
#include "playback/PlaybackController.h"
#include "ui/ClickDragBar.h"
#include "ui/ImageList.h"

#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

namespace {
// The language lines that say why a file did not open (the last lines of the file).
constexpr int LineNotFound = 82;
constexpr int LineCannotRead = 83;
constexpr int LineCannotRender = 84;
constexpr int LineNoDecoder = 85;
constexpr int LineDamaged = 86;
constexpr int LineNotRegular = 87;
constexpr int LineNoAnswer = 89;
} // namespace

void TForm1::attachPlayback(PlaybackController &controller, MediaGraph &graph)
{
    controller_ = &controller;
    // The controller's wishes are answered here, where the dialogs live.
    connect(&controller, &PlaybackController::messageWanted, this,
            [this](const QString &text, const QString &caption) { dialogs_.showMessage(this, text, caption); });
    connect(&controller, &PlaybackController::filesWanted, this,
            [this](const QString &filter, QStringList &chosen) { chosen = dialogs_.getOpenFileNames(this, filter); });
    controller.setShowElapsed(showElapsed_);
    controller.setTexts({tables_.language.line(14, QStringLiteral("Prehravani")),
                         tables_.language.line(15, QStringLiteral("Pauza")),
                         tables_.language.line(16, Label2->text()),
                         tables_.language.line(6) + QLatin1Char('|') + tables_.extensions.line(1),
                         {{GstMediaGraph::ErrFileNotFound, tables_.language.line(LineNotFound)},
                          {GstMediaGraph::ErrFileAccess, tables_.language.line(LineCannotRead)},
                          {GstMediaGraph::ErrCannotRender, tables_.language.line(LineCannotRender)},
                          {GstMediaGraph::ErrNoDecoder, tables_.language.line(LineNoDecoder)},
                          {GstMediaGraph::ErrDecodeFailed, tables_.language.line(LineDamaged)},
                          {GstMediaGraph::ErrTimeout, tables_.language.line(LineNoAnswer)}},
                         tables_.language.line(LineNotRegular, QStringLiteral("Not a regular file."))});
    Label2->setText(controller.statusText());

    connect(SpeedButton1, &QToolButton::clicked, &controller, &PlaybackController::play);
    connect(SpeedButton3, &QToolButton::clicked, &controller, &PlaybackController::pauseResume);
    connect(SpeedButton2, &QToolButton::clicked, &controller, &PlaybackController::next);
    connect(SpeedButton4, &QToolButton::clicked, &controller, &PlaybackController::previous);
    connect(SpeedButton5, &QToolButton::clicked, &controller, &PlaybackController::addFiles);

    connect(&controller, &PlaybackController::statusTextChanged, Label2, &QLabel::setText);
    connect(&controller, &PlaybackController::statusTextChanged, this, [this] { updateTrayAnimation(); });
    connect(&controller, &PlaybackController::titleChanged, this, &TForm1::setTitleText);
    connect(&controller, &PlaybackController::timeTextChanged, Label1, &QLabel::setText);
    connect(&controller, &PlaybackController::showElapsedChanged, this, [this](bool on) { showElapsed_ = on; });
    connect(&controller, &PlaybackController::showVideoWindowRequested, this,
            [this] { showWindowQuietly(WindowId::Video); });

    // The bar follows playback unless the user holds it; letting go seeks.
    connect(&controller, &PlaybackController::seekRangeChanged, DSTrackBar1, [this](int max) {
        if (!DSTrackBar1->isSliderDown())
            DSTrackBar1->setMaximum(max);
    });
    connect(&controller, &PlaybackController::seekPositionChanged, DSTrackBar1, [this](int pos) {
        if (!DSTrackBar1->isSliderDown())
            DSTrackBar1->setValue(pos);
    });
    connect(DSTrackBar1, &QSlider::sliderReleased, this, [this] {
        if (controller_)
            controller_->seekToBar(DSTrackBar1->value(), DSTrackBar1->maximum());
    });
    // A click on the bar's groove moves the handle by a page; that is a seek too.
    connect(DSTrackBar1, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && !DSTrackBar1->isSliderDown() && controller_)
            QTimer::singleShot(0, this, [this] { controller_->seekToBar(DSTrackBar1->value(), DSTrackBar1->maximum()); });
    });

    connect(ProgressBar1, &ClickDragBar::applied, this, [&graph](int position) { graph.setVolume(position); });
    Label1->installEventFilter(this);
    Label1->setCursor(Qt::PointingHandCursor);
    controller.startTicking();
    setUpTray();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && controller_) {
        controller_->toggleElapsed();
        return true;
    }
    return ToolWindow::eventFilter(watched, event);
}

void TForm1::showWindowQuietly(WindowId id)
{
    auto it = windows_.find(id);
    if (it != windows_.end() && it->window && !it->window->isVisible())
        it->window->show();
}

void TForm1::setUpTray()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    const QVector<QIcon> frames = trayAnimationFrames();
    CoolTrayIcon1 = new QSystemTrayIcon(frames.first(), this);
    CoolTrayIcon1->setObjectName(QStringLiteral("CoolTrayIcon1"));
    CoolTrayIcon1->setToolTip(caption());
    CoolTrayIcon1->setContextMenu(menu_);
    connect(CoolTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
            CoolTrayIcon1DblClick();
    });
    trayTimer_ = new QTimer(this);
    trayTimer_->setInterval(500);
    trayTimer_->setTimerType(Qt::CoarseTimer);
    connect(trayTimer_, &QTimer::timeout, this, [this, frames] {
        trayFrame_ = (trayFrame_ + 1) % frames.size();
        CoolTrayIcon1->setIcon(frames.at(trayFrame_));
    });
    CoolTrayIcon1->show();
    updateTrayAnimation();
}

bool TForm1::trayAnimating() const
{
    return trayTimer_ && trayTimer_->isActive();
}

void TForm1::updateTrayAnimation()
{
    if (!trayTimer_)
        return; // no tray on this desktop: nothing to animate
    // A still icon while nothing plays (stopped, paused): its picture cannot change.
    const bool wanted = CoolTrayIcon1 && CoolTrayIcon1->isVisible() && controller_
        && controller_->status() == PlaybackController::Status::Playing;
    if (wanted && !trayTimer_->isActive())
        trayTimer_->start();
    else if (!wanted)
        trayTimer_->stop();
}

void TForm1::Minimalizovat1Click()
{
    minimised_.hideShown(this);
    // Without a tray a hidden program could not be brought back.
    if (CoolTrayIcon1 && CoolTrayIcon1->isVisible())
        hide();
    else
        showMinimized();
}

void TForm1::CoolTrayIcon1DblClick()
{
    showNormal();
    raise();
    activateWindow();
    minimised_.restore();
}
