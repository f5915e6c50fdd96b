#pragma once
// Text files of existing users were written in Windows code page 1250; ours are UTF-8.
// Reading takes UTF-8 when the bytes are valid UTF-8, else Windows-1250.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace text_codec {

bool isValidUtf8(const QByteArray &bytes);
QString decodeWindows1250(const QByteArray &bytes);
// UTF-8 when valid (names stored by encodeText included), else Windows-1250. Every
// character is kept, a U+FEFF at the start too: it may begin a name.
QString decode(const QByteArray &bytes);
// The text of a whole file or response: decode() after a UTF-8 byte order mark at the
// start, which an editor may have put there and which is no part of the text.
QString decodeText(const QByteArray &bytes);
// Windows-1250 bytes of text; a character the code page lacks becomes "?".
QByteArray encodeWindows1250(const QString &text);

// File names are bytes on Linux, not always UTF-8. A byte that is no part of valid
// UTF-8 becomes the lone surrogate U+DC80..U+DCFF (as Python's surrogateescape does),
// so encodeFileName gives back the very bytes; other names are plain UTF-8, a leading
// EF BB BF included (U+FEFF).
QString decodeFileName(const QByteArray &bytes);
QByteArray encodeFileName(const QString &name);
// Text for our own files: UTF-8, with such an escape written as its three-byte form
// (ED B2 80..ED B3 BF), which decode() takes back. Valid UTF-8 never holds those bytes,
// and a Windows-1250 line would have to hold "í˛" or "íł" before one of 80..BF.
QByteArray encodeText(const QString &text);

// Splits text into lines: CR, LF and CR LF all end a line; a final break adds no empty line.
QStringList splitLines(const QString &text);

// The same split on bytes, each line decoded by itself (UTF-8 when valid, else
// Windows-1250), so that one line of the old code page spoils no other line. A UTF-8
// byte order mark at the start is skipped unless the format has none (then those
// bytes begin the first line).
QStringList decodeLines(const QByteArray &bytes, bool skipByteOrderMark = true);

// Reads a whole text file as lines. Returns false when the file cannot be read.
bool readLines(const QString &path, QStringList &lines);

} // namespace text_codec
