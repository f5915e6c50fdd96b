#pragma once
// The play order as the controller sees it: the playlist's path list, read by index,
// and the row drawn as playing. The playlist adapts itself to it (PlaylistOrder), so
// playback needs nothing of the playlist's own classes.
//
// Threads: GUI thread.
#include <QString>
#include <QStringList>

class PlayOrder {
public:
    virtual ~PlayOrder() = default;
    virtual int entryCount() const = 0;
    virtual QString entryPath(int index) const = 0;
    virtual void markPlaying(int index) = 0;
    // Appends files (names the list refuses are reported by the list) and rebuilds the
    // display and its count.
    virtual void appendEntries(const QStringList &files) = 0;
};
