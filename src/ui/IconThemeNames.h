#pragma once
// Which icon names the icon theme has, found without Qt's own lookup. For a name that
// is missing, Qt tests every size folder of every base folder of every theme in the
// chain, once per shorter form of the name ("media-playback-start", "media-playback",
// "media"); a base folder without a current icon-theme.cache, such as the user's own
// ~/.local/share/icons/hicolor, costs over a thousand access() calls per form. Here
// each theme folder is read once: through its icon-theme.cache where that is current,
// otherwise by listing it.
#include <QSet>
#include <QString>
#include <QStringList>

namespace icon_theme {

// The names among `names` that QIcon::fromTheme can find: the name or one of its
// shorter forms is an icon of the current theme, of a theme it inherits or of the
// fallback themes, or the name is an unthemed file in the fallback search paths.
// Never leaves out a name Qt finds; may keep one that Qt then does not find.
QSet<QString> available(const QStringList &names);

} // namespace icon_theme
