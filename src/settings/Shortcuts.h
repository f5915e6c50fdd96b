#pragma once
// Shortcut texts of the shortcut file: modifiers "Shift+", "Ctrl+", "Alt+" (any order,
// any letter case) and a key name, e.g. "Ctrl+P", "Shift+Del", "Del". The Windows key
// names that Qt spells differently ("BkSp", "PgDn", "Enter" for the main Enter key) are
// understood and written back in that form; Qt's own names are accepted too.
#include <QKeySequence>
#include <QString>

// Empty sequence when the text does not name one key with optional modifiers.
QKeySequence shortcutFromText(const QString &text);
// Modifiers in the order "Shift+Ctrl+Alt+", then the key; empty for an empty sequence.
QString shortcutToText(const QKeySequence &sequence);
