#include "radio/StreamTitle.h"

#include "common/TextCodec.h"

namespace stream_title {

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
