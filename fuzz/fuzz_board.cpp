// The report board as the server sends it, and a report as the user typed it: the board
// splits into rows that hold no separator and join back into the text, and the rows shown
// keep their bounds; a report's form
// body has no blank or control byte at either end and every value byte is escaped.
#include "common/TextCodec.h"
#include "online/OnlineRules.h"

#include <cctype>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString separator = QStringLiteral(";D7;");
    const QString text = text_codec::decodeText(bytes);
    const QStringList rows = online::splitBoard(text);
    QString joined;
    for (const QString &row : rows) {
        if (row.contains(separator))
            std::abort();
        joined += row + separator;
    }
    if (!text.startsWith(joined) || text.mid(joined.size()).contains(separator))
        std::abort();
    // The rows the window shows: never more, or longer, than asked for.
    const QStringList shown = online::boardRows(bytes, 50, 100);
    if (shown.size() > 50)
        std::abort();
    for (const QString &row : shown)
        if (row.size() > 100)
            std::abort();

    const QStringList lines = text_codec::decodeLines(bytes);
    const QByteArray body = online::encodeForm(lines);
    if (!body.isEmpty() && (static_cast<unsigned char>(body.front()) <= ' ' || static_cast<unsigned char>(body.back()) <= ' '))
        std::abort();
    // One "name=value" line: the value goes out in the safe alphabet only.
    const QString line = QStringLiteral("zprava=") + text;
    for (const char c : online::encodeForm({line}).mid(7))
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '%'))
            std::abort();
    return 0;
}
