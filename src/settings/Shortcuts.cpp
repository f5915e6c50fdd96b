#include "settings/Shortcuts.h"

#include <array>

namespace {

struct KeyName {
    const char *name;
    Qt::Key key;
};

// Listed in the order used for writing: the first name of a key wins.
constexpr std::array<KeyName, 19> windowsNames = {{
    {"BkSp", Qt::Key_Backspace}, {"Tab", Qt::Key_Tab}, {"Esc", Qt::Key_Escape},
    {"Enter", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Space", Qt::Key_Space},
    {"PgUp", Qt::Key_PageUp}, {"PgDn", Qt::Key_PageDown}, {"End", Qt::Key_End},
    {"Home", Qt::Key_Home}, {"Left", Qt::Key_Left}, {"Up", Qt::Key_Up},
    {"Right", Qt::Key_Right}, {"Down", Qt::Key_Down}, {"Ins", Qt::Key_Insert},
    {"Del", Qt::Key_Delete}, {"Escape", Qt::Key_Escape}, {"PageDown", Qt::Key_PageDown},
    {"Return", Qt::Key_Return},
}};

struct ModifierName {
    const char *prefix;
    Qt::KeyboardModifier modifier;
};

constexpr std::array<ModifierName, 4> modifierNames = {{
    {"Shift+", Qt::ShiftModifier}, {"Ctrl+", Qt::ControlModifier},
    {"Alt+", Qt::AltModifier}, {"Meta+", Qt::MetaModifier},
}};

Qt::Key keyFromName(const QString &name)
{
    for (const KeyName &k : windowsNames) {
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            return k.key;
    }
    if (name == QLatin1String("+"))
        return Qt::Key_Plus;
    if (name.isEmpty() || name.contains(QLatin1Char('+')) || name.contains(QLatin1Char(',')))
        return Qt::Key_unknown;
    const QKeySequence seq = QKeySequence::fromString(name, QKeySequence::PortableText);
    if (seq.count() != 1 || seq[0].keyboardModifiers() != Qt::NoModifier)
        return Qt::Key_unknown;
    return seq[0].key();
}

} // namespace

QKeySequence shortcutFromText(const QString &text)
{
    QString rest = text.trimmed();
    Qt::KeyboardModifiers modifiers;
    for (bool found = true; found;) {
        found = false;
        for (const ModifierName &m : modifierNames) {
            const QLatin1String prefix(m.prefix);
            if (rest.size() > prefix.size() && rest.startsWith(prefix, Qt::CaseInsensitive)) {
                modifiers |= m.modifier;
                rest = rest.mid(prefix.size());
                found = true;
            }
        }
    }
    const Qt::Key key = keyFromName(rest);
    if (key == Qt::Key_unknown || key == 0 || key == Qt::Key_Shift || key == Qt::Key_Control
        || key == Qt::Key_Alt || key == Qt::Key_Meta)
        return QKeySequence();
    return QKeySequence(QKeyCombination(modifiers, key));
}

QString shortcutToText(const QKeySequence &sequence)
{
    if (sequence.isEmpty())
        return QString();
    const QKeyCombination combination = sequence[0];
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    QString text;
    for (const ModifierName &m : modifierNames) {
        if (modifiers & m.modifier)
            text += QLatin1String(m.prefix);
    }
    const Qt::Key key = combination.key();
    for (const KeyName &k : windowsNames) {
        if (k.key == key)
            return text + QLatin1String(k.name);
    }
    return text + QKeySequence(key).toString(QKeySequence::PortableText);
}
