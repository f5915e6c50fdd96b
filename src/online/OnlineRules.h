#pragma once
// The plain rules of the online services: how a form is put on the wire, how the report
// board is split, when a release counts as new, the download's checksum, and where
// the two servers are.
#include <QByteArray>
#include <QString>
#include <QStringList>

class IniFile;

namespace online {

// The body of a form post from its "name=value" lines, as the report server expects it:
// values in Windows-1250 bytes, digits and ASCII letters kept, a space as "+", every
// other byte "%XX" (upper case); names as they are. Two or more lines: each followed by
// "&"; one line: the line alone; none: empty. Leading and trailing spaces and control
// bytes of the result go.
QByteArray encodeForm(const QStringList &lines);

// The board's rows: the text cut at every ";D7;", every piece but the last.
QStringList splitBoard(const QString &text);

// The board as the window shows it, made off the GUI thread: the rows of the answer's
// bytes, at most maxRows of them, each cut to maxChars (a cut row ends with "…"). A list
// row is read on one line: a huge one only costs time to lay out.
QStringList boardRows(const QByteArray &answer, int maxRows = 500, int maxChars = 1000);

// The release file names the newest release on its first line; the program's caption is
// compared whole, case and spaces included. An empty file has no first line
// (Unreadable). A first line that is no release caption at all (the product name, any
// letter case, a space and a version that starts with a digit: random bytes or a
// captive portal's page are not) is NotARelease: no update is offered.
enum class Release { Same, Different, Unreadable, NotARelease };
Release compareRelease(const QString &caption, const QStringList &releaseLines);
bool looksLikeRelease(const QString &caption, const QString &line);

// Line 1 "sha256 <64 hex digits>" of the release file: the digest the download must
// have, lower case. Empty when the line is missing or not of that form.
QByteArray expectedSha256(const QStringList &releaseLines);
// Whether the file's SHA-256 is the digest given; a file that cannot be read never is.
bool fileHasSha256(const QString &path, const QByteArray &hexDigest);

// The base address (scheme, host, optional port) of the update and report servers: the
// build's default unless NASTAVENI2 UpdateServer / ReportServer say otherwise. Empty:
// that service is off.
struct Servers {
    QString update;
    QString report;
    static Servers fromSettings(const IniFile &ini);
};
// base + path, with one "/" between them.
QString serviceUrl(const QString &base, const QString &path);

} // namespace online
