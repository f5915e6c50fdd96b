#pragma once
// Files the player rewrites (settings, lists, shortcuts) are replaced whole:
// written beside the target, flushed to disk, then renamed over it, so a crash
// or a full disk leaves either the old file or the new one, never half of one.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace atomic_file {

// On failure returns false and puts the system's reason into *error (if given). A path
// that is a symbolic link is written through: the link stays, its target is replaced.
bool write(const QString &path, const QByteArray &data, QString *error = nullptr);

// Removes what a save killed half-way left in folder: "<name>.tmp-XXXXXX" files beside
// the files named. Called at start, while no save of ours can be running.
void removeStaleTemporaries(const QString &folder, const QStringList &names);

} // namespace atomic_file
