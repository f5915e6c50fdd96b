#pragma once
// Desktop-entry file helpers shared by the autostart entry and the
// file-association entry.
#include <QString>

namespace desktop_entry {

// One argument of an Exec key: quoted only where the desktop-entry format requires it
// (Debian 12's xdg-open cannot run a needlessly quoted program), with "%" doubled.
QString execArgument(const QString &argument);
// A string value: backslash, newline, tab and carriage return escaped.
QString escapeValue(const QString &value);
// The user's folders (XDG base directories, with their defaults under $HOME).
QString configHome();
QString dataHome();

} // namespace desktop_entry
