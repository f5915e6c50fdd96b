#include "video/TForm3.h"

#include "playback/MediaGraph.h"
#include "playback/PlaybackController.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/Dialogs.h"
#include "ui/ImageList.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"
#include "video/ScreenSaverInhibitor.h"
#include "video/VideoSurface.h"

#include <QEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
struct ButtonSpec {
    int number;
    int left;
    int image;
};
constexpr ButtonSpec buttons[] = {{1, 8, 3},   {2, 32, 11},  {8, 56, 15},  {3, 80, 5},
                                  {4, 104, 1}, {5, 128, 12}, {6, 152, 13}, {7, 176, 14}};
constexpr double TrickSpeed = 8.0;
} // namespace

TForm3::TForm3(MainWindowLink &main, MediaGraph &graph)
    : ToolWindow(QStringLiteral("Form3"), QStringLiteral("Panel2"), true)
    , main_(main)
    , graph_(graph)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(EdgeGrip, StripHeight, EdgeGrip, EdgeGrip);
    layout->setSpacing(0);
    DSVideoWindowEx21 = new VideoSurface(graph, this);
    layout->addWidget(DSVideoWindowEx21, 1);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    layout->addWidget(Panel1);
    for (const ButtonSpec &b : buttons) {
        auto *button = new QToolButton(Panel1);
        button->setObjectName(QStringLiteral("SpeedButton%1").arg(b.number));
        button->setAutoRaise(true);
        button->setGeometry(b.left, 8, 23, 22);
        SpeedButton[b.number] = button;
        connect(button, &QToolButton::clicked, this, [this, n = b.number] { SpeedButtonClick(n); });
    }
    // Playback that stops or starts shows in the frames and in this check.
    screenSaverCheck_.setInterval(1000);
    connect(&screenSaverCheck_, &QTimer::timeout, this, &TForm3::updateScreenSaver);
    watchFrames(true);
    FormCreate();
}

void TForm3::FormCreate()
{
    main_.registerWindow(WindowId::Video, this, this);
    setMinimumSize(300, 300);
    const IniFile ini(main_.settingsPath());
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI3"), *this, QSize(344, 307));
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
    setStripText(main_.languageLines().line(7, QStringLiteral("Video")));
    if (visible)
        main_.performToggle(WindowId::Video);
    for (const ButtonSpec &b : buttons)
        SpeedButton[b.number]->setIcon(main_.images().icon(b.image));
    setDvdButtonsVisible(false);
}

void TForm3::setDvdButtonsVisible(bool visible)
{
    for (int i = 2; i <= 8; ++i)
        SpeedButton[i]->setVisible(visible);
}

void TForm3::SpeedButtonClick(int number)
{
    if (number == 1) {
        if (form5_)
            form5_->setVisible(!form5_->isVisible());
        return;
    }
    try {
        switch (number) {
        case 3:
            graph_.pause();
            return;
        case 5:
            graph_.stop();
            return;
        case 4:
            if (controller_)
                controller_->PlayDvd(QString());
            return;
        default:
            break;
        }
    } catch (const MediaGraphError &error) {
        main_.dialogs().showMessage(this, error.message(), QString());
        return;
    }
    // The chapter and speed buttons act only on a DVD graph that runs.
    DvdControl *dvd = graph_.isRunning() ? graph_.dvdControl() : nullptr;
    if (!dvd)
        return;
    switch (number) {
    case 2:
        dvd->PlayPrevChapter();
        break;
    case 7:
        dvd->PlayNextChapter();
        break;
    case 6:
        dvd->PlayForwards(TrickSpeed);
        break;
    case 8:
        dvd->PlayBackwards(TrickSpeed);
        break;
    default:
        break;
    }
}

void TForm3::setScreenSaver(ScreenSaverInhibitor *inhibitor)
{
    screenSaver_ = inhibitor;
    if (screenSaver_)
        screenSaverCheck_.start();
    else
        screenSaverCheck_.stop();
    updateScreenSaver();
}

bool TForm3::screenSaverWanted() const
{
    return isVisible() && isActiveWindow() && graph_.isRunning() && graph_.hasVideo();
}

void TForm3::watchFrames(bool on)
{
    if (on == bool(frameWatch_))
        return;
    if (!on) {
        disconnect(frameWatch_);
        frameWatch_ = {};
        return;
    }
    frameWatch_ = connect(&graph_, &MediaGraph::videoFrameReady, this, [this] {
        if (screenSaver_ && !screenSaver_->wanted())
            updateScreenSaver();
    });
}

void TForm3::updateScreenSaver()
{
    if (!screenSaver_)
        return;
    const bool wanted = screenSaverWanted();
    screenSaver_->setWanted(wanted);
    // Held: the 1 s check sees playback stop. Not held: the first frame of a picture
    // holds it at once. Frames are not watched while held, so nothing wakes for them.
    watchFrames(!wanted);
}

void TForm3::changeEvent(QEvent *event)
{
    ToolWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        updateScreenSaver();
}

void TForm3::hideEvent(QHideEvent *event)
{
    ToolWindow::hideEvent(event);
    updateScreenSaver();
    // A video entry may follow another without a gap only while this window is shown.
    if (controller_)
        controller_->videoWindowVisibilityChanged();
}

void TForm3::showEvent(QShowEvent *event)
{
    ToolWindow::showEvent(event);
    if (controller_)
        controller_->videoWindowVisibilityChanged();
}

void TForm3::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI3"), *this, true);
}
