#pragma once
// Start with the session: an XDG autostart entry in the user's autostart folder.
#include <QString>

namespace autostart {

// The message when the folder cannot be opened or created.
QString folderErrorMessage();
// The entry's file in the folder.
QString entryPath(const QString &autostartDir);
// The entry's text for the program file.
QByteArray entryText(const QString &programPath);

// Writes the entry atomically, creating the folder when missing. On failure returns
// false with the message to show in *error.
bool enable(const QString &autostartDir, const QString &programPath, QString *error);
// Removes the entry; a missing entry is no failure. Fails only on the folder.
bool disable(const QString &autostartDir, QString *error);

} // namespace autostart
