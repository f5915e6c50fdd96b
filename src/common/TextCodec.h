#pragma once
// Text files of existing users were written in Windows code page 1250; ours are UTF-8.
// Reading takes UTF-8 when the bytes are valid UTF-8, else Windows-1250.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace text_codec {

bool isValidUtf8(const QByteArray &bytes);
QString decodeWindows1250(const QByteArray &bytes);
QString decode(const QByteArray &bytes);
// Windows-1250 bytes of text; a character the code page lacks becomes "?".
QByteArray encodeWindows1250(const QString &text);

// Splits text into lines: CR, LF and CR LF all end a line; a final break adds no empty line.
QStringList splitLines(const QString &text);

// The same split on bytes, each line decoded by itself (UTF-8 when valid, else
// Windows-1250), so that one line of the old code page spoils no other line. A UTF-8
// byte order mark at the start is skipped.
QStringList decodeLines(const QByteArray &bytes);

// Reads a whole text file as lines. Returns false when the file cannot be read.
bool readLines(const QString &path, QStringList &lines);

} // namespace text_codec
