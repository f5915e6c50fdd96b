#include "online/OnlineRules.h"

#include "common/TextCodec.h"
#include "settings/IniFile.h"

#include <QCryptographicHash>
#include <QFile>

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

Release compareRelease(const QString &caption, const QStringList &releaseLines)
{
    if (releaseLines.isEmpty())
        return Release::Unreadable;
    return releaseLines.first() == caption ? Release::Same : Release::Different;
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
