#include "settings/IntegerText.h"

namespace integer_text {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

bool parse(QStringView text, qint32 &value)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    QStringView s = text.sliced(begin, end - begin);

    bool negative = false;
    if (!s.isEmpty() && (s[0] == QLatin1Char('-') || s[0] == QLatin1Char('+'))) {
        negative = s[0] == QLatin1Char('-');
        s = s.sliced(1);
    }

    bool hex = false;
    if (s.startsWith(QLatin1Char('$'))) {
        hex = true;
        s = s.sliced(1);
    } else if (s.size() >= 2 && s[0] == QLatin1Char('0')
               && (s[1] == QLatin1Char('x') || s[1] == QLatin1Char('X'))) {
        hex = true;
        s = s.sliced(2);
    }
    if (s.isEmpty())
        return false;

    quint64 magnitude = 0;
    if (hex) {
        for (QChar c : s) {
            const int d = hexDigit(c);
            if (d < 0)
                return false;
            magnitude = magnitude * 16 + quint64(d);
            if (magnitude > 0xFFFFFFFFull)
                return false;
        }
        quint32 bits = quint32(magnitude);
        if (negative)
            bits = 0u - bits;
        value = qint32(bits);
        return true;
    }

    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (u < '0' || u > '9')
            return false;
        magnitude = magnitude * 10 + quint64(u - '0');
        if (magnitude > 0x80000000ull)
            return false;
    }
    if (!negative && magnitude > 0x7FFFFFFFull)
        return false;
    value = negative ? qint32(-qint64(magnitude)) : qint32(magnitude);
    return true;
}

} // namespace integer_text
