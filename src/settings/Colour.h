#pragma once
// Colours as the settings file stores them: 32-bit values 00BBGGRR, or system colours
// FF0000nn (nn = the system colour index), plus clNone and clDefault.
// Text form: an identifier such as "clBlack" where one exists, else "$" and eight hex digits.
#include <QColor>
#include <QString>

namespace colour {

constexpr quint32 None = 0x1FFFFFFF;
constexpr quint32 Default = 0x20000000;
constexpr quint32 Black = 0x000000;
constexpr quint32 Red = 0x0000FF;

// Accepts an identifier in any letter case, or an integer in decimal (signed, so system
// colours may come as negative numbers), "$" hex or "0x" hex. Returns false and leaves
// value untouched when the text is neither.
bool fromString(const QString &text, quint32 &value);

// The identifier when the value has one, else "$" and eight upper-case hex digits.
QString toString(quint32 value);

// Plain colours map to their RGB; system colours to a role of the application's palette
// (QGuiApplication::palette() when a GUI application runs, else a default palette);
// clNone gives an invalid QColor, clDefault black.
QColor toQColor(quint32 value);

// An invalid QColor gives clNone; alpha is dropped.
quint32 fromQColor(const QColor &c);

} // namespace colour
