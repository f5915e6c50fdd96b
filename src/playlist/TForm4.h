#pragma once
// The playlist window: the count strip and the list of display names, row i
// showing path i of the play order.
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

class MainWindowLink;
class PlaylistModel;
class QListView;

class TForm4 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    TForm4(MainWindowLink &main, PlaylistModel &model, const QStringList &storedPlaylist, const QStringList &arguments);

    static constexpr int MainWidth = 217;

    void writeSettings(IniFile &ini) const override;
    QListView *ListBox3 = nullptr;
    PlaylistModel &model() { return model_; }

private:
    void FormCreate(const QStringList &storedPlaylist, const QStringList &arguments);
    void updateCountStrip();

    MainWindowLink &main_;
    PlaylistModel &model_;
};
