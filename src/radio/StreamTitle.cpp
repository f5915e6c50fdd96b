#include "radio/StreamTitle.h"

#include "common/TextCodec.h"

namespace stream_title {

namespace {

// A title written as UTF-16 after a byte order mark (some sources send them so): up to
// the quote and ";" in the same encoding, a NUL, or the ASCII "';" some servers put
// after it; a quote that closes the block is no part of it.
QString utf16Title(const QByteArray &metadata, qsizetype from, bool littleEndian)
{
    QString title;
    const auto unitAt = [&](qsizetype i) {
        const auto a = static_cast<unsigned char>(metadata[i]);
        const auto b = static_cast<unsigned char>(metadata[i + 1]);
        return char16_t(littleEndian ? (a | b << 8) : (a << 8 | b));
    };
    qsizetype i = from;
    bool closed = false;
    for (; i + 1 < metadata.size(); i += 2) {
        if (metadata[i] == '\'' && metadata[i + 1] == ';') {
            closed = true;
            break;
        }
        const char16_t unit = unitAt(i);
        if (unit == 0)
            break;
        if (unit == u'\'' && i + 3 < metadata.size() && unitAt(i + 2) == u';') {
            closed = true;
            break;
        }
        title.append(QChar(unit));
    }
    if (!closed && title.endsWith(QLatin1Char('\'')))
        title.chop(1);
    return title;
}

} // namespace

std::optional<QString> parse(const QByteArray &metadata)
{
    // Blocks are padded to a multiple of 16 bytes with NULs.
    const int nul = metadata.indexOf('\0');
    const QByteArray text = nul >= 0 ? metadata.left(nul) : metadata;
    static const QByteArray key("StreamTitle=");
    // A field name starts the block or follows a field's closing ";".
    int at = -1;
    for (int from = 0; (from = text.indexOf(key, from)) >= 0; from += key.size()) {
        if (from == 0 || text.at(from - 1) == ';') {
            at = from;
            break;
        }
    }
    if (at < 0)
        return std::nullopt;
    int begin = at + key.size();
    int end = -1;
    if (begin < text.size() && text.at(begin) == '\'') {
        ++begin;
        // A byte order mark: the title is UTF-16, NUL bytes and all.
        const QByteArray mark = metadata.mid(begin, 2);
        if (mark == "\xff\xfe" || mark == "\xfe\xff")
            return utf16Title(metadata, begin + 2, mark == "\xff\xfe");
        // The field ends at a quote followed by ";" (quotes inside are kept), or at a
        // last quote that closes the block.
        end = text.indexOf("';", begin);
        if (end < 0)
            end = text.endsWith('\'') && text.size() - 1 >= begin ? text.size() - 1 : text.size();
    } else {
        // Unquoted: up to the next ";".
        end = text.indexOf(';', begin);
        if (end < 0)
            end = text.size();
    }
    return text_codec::decode(text.mid(begin, end - begin));
}

} // namespace stream_title
