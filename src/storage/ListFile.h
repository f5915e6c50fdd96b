#pragma once
// The container of playlist.st3 and radia.st3: one zlib stream (RFC 1950, level 9,
// header 78 DA) of a text with one entry per line, each line ended by CR LF.
// Everything here is pure and may be called from any thread.
#include <QByteArray>
#include <QStringList>

class QIODevice;

namespace list_file {

// Reads the whole source from its start, compresses it in one piece at level 9 and
// writes the stream at the destination's current position. False when a device fails.
bool CompressStream(QIODevice &source, QIODevice &destination);

// Text beyond this is no list a person made: the stream counts as damaged.
constexpr qsizetype MaxTextBytes = 64 * 1024 * 1024;

// Inflates everything from the source's current position to its end and writes the
// text at the destination's current position; no bytes left writes nothing. Afterwards
// the destination is at its start. A damaged stream (bad header, data or checksum,
// truncated, or inflating beyond MaxTextBytes) gives false and writes nothing. Bytes after the end of a complete,
// checksum-verified stream are ignored.
bool DecompressStream(QIODevice &source, QIODevice &destination);

// Each entry followed by CR LF, in UTF-8.
QByteArray listToText(const QStringList &entries);

// The text ends at its first zero byte; each line UTF-8 when valid, else Windows-1250;
// CR, LF and CR LF end a line; a final break adds no empty entry.
QStringList textToList(const QByteArray &text);

// Whether anything but zero bytes follows the first zero byte: entries the list would
// lose at its next save.
bool hasTextAfterZero(const QByteArray &text);

} // namespace list_file
