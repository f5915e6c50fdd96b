#include "online/OnlineRules.h"

#include "common/TextCodec.h"
#include "settings/IniFile.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>

#ifndef TARNEL_UPDATE_SERVER
#define TARNEL_UPDATE_SERVER ""
#endif
#ifndef TARNEL_REPORT_SERVER
#define TARNEL_REPORT_SERVER ""
#endif

namespace online {

static QByteArray encodeValue(const QString &value)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char ch : text_codec::encodeWindows1250(value)) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out.append(ch);
        } else if (b == ' ') {
            out.append('+');
        } else {
            out.append('%');
            out.append(digits[b >> 4]);
            out.append(digits[b & 0x0F]);
        }
    }
    return out;
}

QByteArray encodeForm(const QStringList &lines)
{
    QByteArray body;
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        QByteArray encoded;
        if (eq < 0 || eq + 1 == line.size())
            encoded = text_codec::encodeWindows1250(line);
        else
            encoded = text_codec::encodeWindows1250(line.left(eq + 1)) + encodeValue(line.mid(eq + 1));
        body += encoded;
        if (lines.size() > 1)
            body += '&';
    }
    qsizetype begin = 0;
    qsizetype end = body.size();
    while (begin < end && static_cast<unsigned char>(body[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(body[end - 1]) <= ' ')
        --end;
    return body.mid(begin, end - begin);
}

QStringList splitBoard(const QString &text)
{
    QStringList pieces = text.split(QStringLiteral(";D7;"));
    pieces.removeLast();
    return pieces;
}

QStringList boardRows(const QByteArray &answer, int maxRows, int maxChars)
{
    static const QByteArray separator(";D7;");
    QStringList rows;
    qsizetype from = 0;
    for (qsizetype at; rows.size() < maxRows && (at = answer.indexOf(separator, from)) >= 0; from = at + separator.size()) {
        // Decoded row by row, only as much of a long one as is shown.
        const qsizetype length = at - from;
        qsizetype take = std::min<qsizetype>(length, qsizetype(maxChars) * 4);
        while (take < length && take > 0 && (static_cast<unsigned char>(answer[from + take]) & 0xC0) == 0x80)
            --take; // not inside a UTF-8 sequence
        QString row = text_codec::decode(answer.mid(from, take));
        if (row.size() > maxChars || take < length)
            row = row.left(maxChars - 1) + QChar(0x2026);
        rows.append(row);
    }
    return rows;
}

bool looksLikeRelease(const QString &caption, const QString &line)
{
    const QString product = caption.section(QLatin1Char(' '), 0, 0);
    const QString text = line.trimmed();
    if (product.isEmpty() || text.size() > 64 || text.size() < product.size() + 2
        || !text.startsWith(product + QLatin1Char(' '), Qt::CaseInsensitive))
        return false;
    const QString version = text.mid(product.size() + 1);
    if (!version.at(0).isDigit())
        return false;
    for (const QChar c : version) {
        const bool ok = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || QStringLiteral(".+~-").contains(c);
        if (!ok)
            return false;
    }
    return true;
}

Release compareRelease(const QString &caption, const QStringList &releaseLines)
{
    if (releaseLines.isEmpty())
        return Release::Unreadable;
    if (releaseLines.first() == caption)
        return Release::Same;
    return looksLikeRelease(caption, releaseLines.first()) ? Release::Different : Release::NotARelease;
}

QByteArray expectedSha256(const QStringList &releaseLines)
{
    if (releaseLines.size() < 2)
        return {};
    const QString line = releaseLines[1].trimmed();
    if (!line.startsWith(QLatin1String("sha256 ")))
        return {};
    const QByteArray hex = line.mid(7).trimmed().toLatin1().toLower();
    if (hex.size() != 64)
        return {};
    for (const char c : hex)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return {};
    return hex;
}

bool fileHasSha256(const QString &path, const QByteArray &hexDigest)
{
    QFile file(path);
    if (hexDigest.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return false;
    return hash.result().toHex() == hexDigest.toLower();
}

Servers Servers::fromSettings(const IniFile &ini)
{
    const QString s = QStringLiteral("NASTAVENI2");
    Servers servers;
    servers.update = ini.readString(s, QStringLiteral("UpdateServer"), QStringLiteral(TARNEL_UPDATE_SERVER)).trimmed();
    servers.report = ini.readString(s, QStringLiteral("ReportServer"), QStringLiteral(TARNEL_REPORT_SERVER)).trimmed();
    return servers;
}

QString serviceUrl(const QString &base, const QString &path)
{
    QString url = base;
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url + (path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
}

} // namespace online
