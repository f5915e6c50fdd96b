#pragma once
// Path rules shared by the playlist, the controller and the hand-off.
// The file name is what follows the last "/"; the extension runs from the last "."
// of the file name, dot included, and is empty when the name has no dot.
#include <QString>
#include <QStringList>

namespace path_rules {

QString fileNameOf(const QString &path);
QString extensionOf(const QString &path);
// Upper-cases ASCII letters only, as the comparisons of the player expect.
QString upperExtensionOf(const QString &path);
QString directoryOf(const QString &path); // with its trailing "/", empty when none

// The 26 extensions the playlist accepts from a drop and the program associates with itself.
const QStringList &mediaExtensions();
// The 25 of them that a second instance may hand over (no ".VOB").
const QStringList &handOffExtensions();

bool isAcceptedForDrop(const QString &path);
bool isAcceptedForHandOff(const QString &path);

} // namespace path_rules
