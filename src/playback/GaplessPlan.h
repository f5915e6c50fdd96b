#pragma once
// The gapless plan: which list entry is offered ahead to follow the media playing, and
// which have been handed over to the engine but not heard yet. An entry follows without
// a gap only when it and the entry before are sound alone (judged by extension; see
// canFollow for why video never does),
// and when the rule would pick it. Anything else (a DVD, a CD track, a change of kind,
// a list changed under a handed entry) ends the entry the ordinary way.
// Plain class; GUI thread.
#include <QList>
#include <QString>

#include <optional>

class PlayOrder;

class GaplessPlan {
public:
    struct Entry {
        int index = -1;
        QString path;
    };

    // The extensions (upper case, dot included) that make the video window appear.
    static bool bringsUpVideoWindow(const QString &upperExt);
    static bool canFollow(const QString &previousPath, const QString &path, bool videoWindowShown);

    // Plans the entry to follow the last handed one, or `current` when none is handed;
    // returns its path (empty: nothing follows without a gap).
    QString plan(const PlayOrder &order, const Entry &current, bool videoWindowShown);
    // The engine took `path`; false when it is not the planned entry.
    bool handed(const QString &path);
    // The first handed entry is heard now.
    std::optional<Entry> started();
    bool hasHanded() const { return !handed_.isEmpty(); }
    void clear();

private:
    Entry planned_;
    QList<Entry> handed_;
};
