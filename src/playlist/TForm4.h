#pragma once
// The playlist window: the count strip and the list of display names, row i
// showing path i of the play order. Drops, deletes, reorders and plays rows.
#include "platform/CdTableReader.h"
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

#include <memory>

class BarPopupMenu;
class MainWindowLink;
class PlaybackController;
class PlaylistModel;
class PlaylistView;
class QAction;

class TForm4 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    TForm4(MainWindowLink &main, PlaylistModel &model, PlaybackController &controller,
           const QStringList &storedPlaylist, const QStringList &arguments);

    void writeSettings(IniFile &ini) const override;

    // Handlers, callable from tests as the user's actions are.
    // A drop holding .cue images joins once their tables are read; another such drop
    // while one is read is refused with a beep.
    void DropTextTarget1Drop(const QStringList &files);
    void vymazat1Click();
    void Prehrat1Click();
    void ListBox3DragDrop(int target);

    PlaylistView *ListBox3 = nullptr;
    BarPopupMenu *BcBarPopupMenu1 = nullptr;
    QAction *vymazat1 = nullptr;
    QAction *Prehrat1 = nullptr;

    static constexpr int MainWidth = 217;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void FormCreate(const QStringList &storedPlaylist, const QStringList &arguments);
    void updateCountStrip();
    void entryRefused(const QString &path);
    void addDropped(const QStringList &files, const QList<CdTableReader::Table> &tables);

    MainWindowLink &main_;
    PlaylistModel &model_;
    PlaybackController &controller_;
    // Names refused since the last message: one box tells of a whole drop or pick.
    QStringList refused_;
    std::unique_ptr<CdTableReader> cdTables_;
};
