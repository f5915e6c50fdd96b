#pragma once
// The playlist model as the playback controller's play order.
#include "playback/PlayOrder.h"
#include "playlist/PlaylistModel.h"

class PlaylistOrder : public PlayOrder {
public:
    explicit PlaylistOrder(PlaylistModel &model)
        : model_(model)
    {
    }
    int entryCount() const override { return model_.count(); }
    QString entryPath(int index) const override { return model_.path(index); }
    void markPlaying(int index) override { model_.setPlayingIndex(index); }
    void appendEntries(const QStringList &files) override
    {
        for (const QString &file : files)
            model_.append(file);
        model_.zobrazit(); // also refreshes the count strip
    }

private:
    PlaylistModel &model_;
};

#include "playback/PlaybackController.h"

// Plans what follows the entry playing again whenever the list changes.
inline void followPlaylist(PlaylistModel &model, PlaybackController &controller)
{
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, &controller, &PlaybackController::playlistChanged);
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &controller, &PlaybackController::playlistChanged);
    QObject::connect(&model, &QAbstractItemModel::rowsMoved, &controller, &PlaybackController::playlistChanged);
    QObject::connect(&model, &QAbstractItemModel::modelReset, &controller, &PlaybackController::playlistChanged);
    QObject::connect(&model, &PlaylistModel::countChanged, &controller, &PlaybackController::playlistChanged);
}
