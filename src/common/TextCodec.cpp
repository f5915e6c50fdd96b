#include "common/TextCodec.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace text_codec {

namespace {

// Length of the UTF-8 sequence at p[i] with its code point, or 0 when it is none.
// Surrogates (ED A0..ED BF) are taken only when surrogatesAllowed is set.
int sequenceAt(const unsigned char *p, qsizetype n, qsizetype i, char32_t &cp, bool surrogatesAllowed)
{
    const unsigned char c = p[i];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int extra;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return 0;
    }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr char32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF)
        return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF && !surrogatesAllowed)
        return 0;
    return extra + 1;
}

bool isEscape(char32_t cp)
{
    return cp >= 0xDC80 && cp <= 0xDCFF;
}

void append(QString &out, char32_t cp)
{
    if (cp >= 0x10000) {
        out += QChar(QChar::highSurrogate(cp));
        out += QChar(QChar::lowSurrogate(cp));
    } else {
        out += QChar(char16_t(cp));
    }
}

// strayBytes: an invalid byte becomes its escape (file names); else the stored escapes
// ED B2 80..ED B3 BF are taken and anything else invalid fails.
bool decodeUtf8(const QByteArray &bytes, bool strayBytes, QString &out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    out.clear();
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = sequenceAt(p, n, i, cp, true);
        const bool surrogate = len == 3 && cp >= 0xD800 && cp <= 0xDFFF;
        if (len > 0 && (!surrogate || (!strayBytes && isEscape(cp)))) {
            append(out, cp);
            i += len;
        } else if (strayBytes) {
            out += QChar(char16_t(0xDC00 + p[i]));
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

// UTF-8 of text; a lone escape becomes its byte (raw) or its three-byte form.
QByteArray encodeEscapes(const QString &text, bool raw)
{
    QByteArray out;
    out.reserve(text.size() + 8);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        char32_t cp = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            cp = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            ++i;
        } else if (isEscape(c) && raw) {
            out += char(c - 0xDC00);
            continue;
        } else if (QChar::isSurrogate(c) && !isEscape(c)) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// QString::fromUtf8 drops a byte order mark at the start; a name keeps its every byte.
QString fromValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

const char byteOrderMark[] = "\xEF\xBB\xBF";

bool holdsEscapes(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); });
}

// Upper half of code page 1250; the five unassigned bytes map to U+FFFD.
constexpr std::array<char16_t, 128> high = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021,
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};
} // namespace

bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = sequenceAt(p, n, i, cp, false);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

QString decodeFileName(const QByteArray &bytes)
{
    if (isValidUtf8(bytes))
        return fromValidUtf8(bytes);
    QString name;
    decodeUtf8(bytes, true, name);
    return name;
}

QByteArray encodeFileName(const QString &name)
{
    return holdsEscapes(name) ? encodeEscapes(name, true) : name.toUtf8();
}

QByteArray encodeText(const QString &text)
{
    return holdsEscapes(text) ? encodeEscapes(text, false) : text.toUtf8();
}

QString decodeWindows1250(const QByteArray &bytes)
{
    QString out;
    out.resize(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(c < 0x80 ? char16_t(c) : high[c - 0x80]);
    }
    return out;
}

QByteArray encodeWindows1250(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out.append(char(u));
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 128; ++i) {
            if (high[i] == u && u != 0xFFFD) {
                byte = char(0x80 + i);
                break;
            }
        }
        out.append(byte);
    }
    return out;
}

QString decode(const QByteArray &bytes)
{
    if (isValidUtf8(bytes))
        return fromValidUtf8(bytes);
    QString escaped;
    if (decodeUtf8(bytes, false, escaped))
        return escaped;
    return decodeWindows1250(bytes);
}

QString decodeText(const QByteArray &bytes)
{
    return decode(bytes.startsWith(byteOrderMark) ? bytes.mid(3) : bytes);
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QStringList decodeLines(const QByteArray &bytes, bool skipByteOrderMark)
{
    QStringList lines;
    const char *p = bytes.constData();
    qsizetype n = bytes.size();
    if (skipByteOrderMark && bytes.startsWith(byteOrderMark)) {
        p += 3;
        n -= 3;
    }
    qsizetype start = 0;
    const auto take = [&](qsizetype end) { lines.append(decode(QByteArray::fromRawData(p + start, end - start))); };
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        take(i);
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        take(n);
    return lines;
}

bool readLines(const QString &path, QStringList &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    lines = decodeLines(file.readAll());
    return true;
}

} // namespace text_codec
