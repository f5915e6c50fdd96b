#pragma once
// The title in a stream's metadata block: StreamTitle='...'; read as a quoted field, so
// a title with ";" or "'" inside, or another field before it, still comes out whole.
#include <QByteArray>
#include <QString>

#include <optional>

namespace stream_title {

// The title of one metadata block (NUL padding allowed), decoded as UTF-8 when valid,
// else as Windows-1250. nullopt when the block has no StreamTitle field.
std::optional<QString> parse(const QByteArray &metadata);

} // namespace stream_title
