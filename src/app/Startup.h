#pragma once
// Wires the player together: creates the nine windows in their order, each handed
// the services and windows it talks to. Nothing else creates windows.
#include "online/OnlineServices.h"
#include "system/SystemServices.h"

#include <QStringList>

#include <memory>

class Dialogs;
class ImageList;
class MediaGraph;
class Mixer;
class MprisService;
class PlaylistModel;
class PlayOrder;
class PlaybackController;
class RadioPlayer;
class ScreenSaverInhibitor;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;
class TitleCache;
class TitleSource;

class Startup {
public:
    // programDir ends with "/"; arguments are the command-line arguments after the program name.
    // services: the platform's (the program's main); the default has none.
    // online: what the settings window's online services are made with.
    Startup(const QString &programDir, const QStringList &arguments, Dialogs &dialogs, MediaGraph &graph,
            const SystemServices &services = {}, const OnlineServices &online = {});
    ~Startup();

    TForm1 *form1() const { return form1_.get(); }
    TForm2 *form2() const { return form2_.get(); }
    TForm3 *form3() const { return form3_.get(); }
    TForm4 *form4() const { return form4_.get(); }
    TForm5 *form5() const { return form5_.get(); }
    TForm6 *form6() const { return form6_.get(); }
    TForm7 *form7() const { return form7_.get(); }
    TForm8 *form8() const { return form8_.get(); }
    TForm9 *form9() const { return form9_.get(); }
    PlaylistModel &playlist() { return *playlist_; }
    // Tag titles read off the GUI thread, for the playlist's rows and the title line.
    TitleSource &titles();
    MediaGraph &graph() { return graph_; }
    PlaybackController &controller() { return *controller_; }
    RadioPlayer &radio() { return *radio_; }
    MprisService *mpris() const { return mpris_.get(); }

private:
    MediaGraph &graph_;
    std::unique_ptr<ImageList> images_;
    std::unique_ptr<TitleCache> titles_; // outlives the playlist and the controller
    std::unique_ptr<PlaylistModel> playlist_;
    std::unique_ptr<PlayOrder> playOrder_;
    std::unique_ptr<PlaybackController> controller_;
    std::unique_ptr<ScreenSaverInhibitor> screenSaver_; // outlives the video window
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm4> form4_;
    std::unique_ptr<TForm5> form5_;
    std::unique_ptr<RadioPlayer> radio_; // outlives the radio window
    std::unique_ptr<TForm6> form6_;
    std::unique_ptr<TForm7> form7_;
    std::unique_ptr<TForm8> form8_;
    std::unique_ptr<Mixer> mixer_; // outlives the windows: they are reset first
    std::unique_ptr<TForm9> form9_;
    std::unique_ptr<MprisService> mpris_;
};
