#include "app/Startup.h"

#include "app/TForm1.h"
#include "common/TextCodec.h"
#include "converter/TForm7.h"
#include "online/TForm2.h"
#include "platform/GstInit.h"
#include "playback/MediaGraph.h"
#include "playback/PlaybackController.h"
#include "playback/TitleSource.h"
#include "playlist/PlaylistModel.h"
#include "playlist/PlaylistOrder.h"
#include "playlist/TForm4.h"
#include "playlist/TitleCache.h"
#include "radio/RadioPlayer.h"
#include "radio/TForm6.h"
#include "system/Mpris.h"
#include "ui/ClickDragBar.h"
#include <QFile>
#include <QLabel>
#include <QTimer>
#include "ui/ImageList.h"
#include "video/TForm3.h"
#include "video/ScreenSaverInhibitor.h"
#include "video/TForm5.h"
#include "visualisation/TForm9.h"
#include "volume/PulseMixer.h"
#include "volume/TForm8.h"

Startup::Startup(const QString &programDir, const QStringList &arguments, Dialogs &dialogs, MediaGraph &graph,
                 const SystemServices &services, const OnlineServices &online)
    : graph_(graph)
    , images_(std::make_unique<ImageList>())
    , titles_(std::make_unique<TitleCache>())
    , playlist_(std::make_unique<PlaylistModel>())
{
    playlist_->setTitleSource(titles_.get());
    ClickDragBar::setSliderDragging(false);
    form1_ = std::make_unique<TForm1>(programDir, dialogs, *images_, *playlist_, services);
    form1_->show();
    // The controller lives with the main window; everyone who plays goes through it.
    playOrder_ = std::make_unique<PlaylistOrder>(*playlist_);
    controller_ = std::make_unique<PlaybackController>(graph_, *playOrder_, titles_.get());
    followPlaylist(*playlist_, *controller_);
    form1_->attachPlayback(*controller_, graph_);
    form2_ = std::make_unique<TForm2>(*form1_, online);
    form3_ = std::make_unique<TForm3>(*form1_, graph_);
    QObject::connect(controller_.get(), &PlaybackController::dvdButtonsVisibleChanged, form3_.get(),
                     &TForm3::setDvdButtonsVisible);
    controller_->setVideoWindowShown([form3 = form3_.get()] { return form3->isVisible(); });
    form3_->setController(controller_.get());
    if (services.screenSaverBus) {
        screenSaver_ = std::make_unique<ScreenSaverInhibitor>(*services.screenSaverBus);
        form3_->setScreenSaver(screenSaver_.get());
    }
    form4_ = std::make_unique<TForm4>(*form1_, *playlist_, *controller_, form1_->storedPlaylist(), arguments);
    form5_ = std::make_unique<TForm5>(*form1_, *form3_->DSVideoWindowEx21);
    form3_->setColourControls(form5_.get());
    radio_ = std::make_unique<RadioPlayer>();
    form6_ = std::make_unique<TForm6>(*form1_, *radio_);
    form7_ = std::make_unique<TForm7>(*form1_);
    form8_ = std::make_unique<TForm8>(*form1_, form6_->ProgressBar1->value());
    // Connects to the sound server on the first change, not before.
    mixer_ = std::make_unique<PulseMixer>();
    form8_->attachMixer(*mixer_, form6_->ProgressBar1);
    // Created last: sets the stored volume and presses play, which starts the first
    // entry or asks for files when the playlist is empty. The press waits for the event
    // loop, so that a dialog it opens finds the hand-off and signals already listening,
    // and for GStreamer, which starts on a worker while the windows are created.
    // The update check of start-up runs on its own thread while the windows come up;
    // the press waits for its answer, so a found release keeps playback from starting.
    PlaybackController *controller = controller_.get();
    TForm1 *main = form1_.get();
    TForm2 *settings = form2_.get();
    form9_ = std::make_unique<TForm9>(*form1_, graph_, form1_->ProgressBar1->value(), form1_->updateFound(),
                                      [controller, main, settings] {
        settings->whenUpdateCheckAnswered([controller, main] {
            if (!main->updateFound())
                GstStartWorker::whenReady(controller, [controller] { controller->play(); });
        });
    });
    // A DVD's playing time reaches the main window's time label through this window.
    form9_->setDvdTimeHandler([label = form1_->Label1](const QString &text) { label->setText(text); });
    form1_->arrangeFirstStart();

    // Media keys and the desktop's media controls.
    if (services.mprisBus) {
        TForm1 *main = form1_.get();
        MprisHooks hooks;
        hooks.raise = [main] { main->CoolTrayIcon1DblClick(); };
        hooks.quit = [main] { main->close(); };
        hooks.volume = [main] { return main->ProgressBar1->value(); };
        hooks.setVolume = [main, &graph](int level) {
            main->ProgressBar1->setValue(level);
            graph.setVolume(level);
        };
        hooks.openFile = [main](const QString &path) { main->receiveHandOff(text_codec::encodeFileName(path)); };
        mpris_ = std::make_unique<MprisService>(*services.mprisBus, *controller_, graph_, std::move(hooks));
        MprisService *mpris = mpris_.get();
        QObject::connect(form1_->ProgressBar1, &ClickDragBar::applied, mpris, [mpris] { mpris->volumeChanged(); });
    }
}

TitleSource &Startup::titles()
{
    return *titles_;
}

Startup::~Startup()
{
    // A station's threads end first: they report to the radio window.
    if (radio_)
        radio_->shutdown();
    mpris_.reset();
    // Windows go in the reverse order of their creation; the graph outlives them.
    form9_.reset();
    form8_.reset();
    form7_.reset();
    form6_.reset();
    form5_.reset();
    form4_.reset();
    form3_.reset();
    screenSaver_.reset();
    form2_.reset();
    form1_.reset();
    controller_.reset();
}
