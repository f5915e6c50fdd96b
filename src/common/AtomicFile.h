#pragma once
// Files the player rewrites (settings, lists, shortcuts) are replaced whole:
// written beside the target, flushed to disk, then renamed over it, so a crash
// or a full disk leaves either the old file or the new one, never half of one.
#include <QByteArray>
#include <QString>

namespace atomic_file {

// On failure returns false and puts the system's reason into *error (if given).
bool write(const QString &path, const QByteArray &data, QString *error = nullptr);

} // namespace atomic_file
