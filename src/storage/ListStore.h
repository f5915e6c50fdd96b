#pragma once
// Loading and saving the stored lists (playlist.st3, radia.st3) in the container of
// ListFile.h. Saving replaces the file atomically. A file that does not inflate is
// renamed aside, never overwritten, so the user can still recover it.
#include <QDateTime>
#include <QString>
#include <QStringList>

class ListStore {
public:
    struct LoadResult {
        enum class Status {
            Loaded,       // read (a zero-byte file is an empty list)
            CreatedEmpty, // was missing, now exists with zero bytes
            Missing,      // was missing and not to be created; nothing written
            Damaged,      // did not inflate; moved aside to movedAsidePath when possible
            CutAtZero,    // loaded up to a zero byte with entries after it; the file was copied to movedAsidePath
            Unreadable,   // could not be read (or created); error says why
        };
        QStringList entries;
        Status status = Status::Loaded;
        QString movedAsidePath; // set for Damaged when the rename succeeded
        QString error;          // the reason for Unreadable, or for a Damaged file left in place
        // False when the file still holds bytes we could not load (Unreadable, or Damaged
        // and not moved aside): writing the list there would destroy them.
        bool safeToReplace = true;
    };

    static LoadResult loadList(const QString &path, bool createEmptyWhenMissing);

    // On failure *error gets "Cannot create file "<path>". <reason>" and any old file stays.
    static bool saveList(const QString &path, const QStringList &entries, QString *error = nullptr);

    // "<path>.damaged-YYYYMMDD-HHMMSS" for the given local time, with "-2", "-3", ...
    // appended while that name is taken.
    static QString asidePathFor(const QString &path, const QDateTime &when);
};
