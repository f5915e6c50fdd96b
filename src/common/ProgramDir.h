#pragma once
// The player's files lie beside its executable. The ones it rewrites move to the
// user's configuration folder when that directory is not the user's to write.
#include <QString>
#include <QStringList>

namespace program_dir {

// Directory of /proc/self/exe with a trailing "/".
QString ofExecutable();
// Full path of the running executable.
QString executablePath();

// The files the player rewrites, relative to the folder that holds them.
QStringList rewrittenFiles();
// Where those files live, with a trailing "/": programDir itself when this user may
// write there; else $XDG_CONFIG_HOME/tarnel/ (~/.config/tarnel/), made private and, on
// its first use, filled with the program directory's copies of those files. Shipped
// data (languages, extensions) is always read from programDir.
QString stateDir(const QString &programDir);

} // namespace program_dir
