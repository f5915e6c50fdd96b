#pragma once
// Integers as the settings file and colour values have always been read: decimal with an
// optional sign, or hexadecimal after "$", "0x" or "0X" (a sign may precede the prefix).
// Surrounding spaces are tolerated; anything else fails.
#include <QStringView>

namespace integer_text {

// Decimal must fit a signed 32-bit integer; hexadecimal may use all 32 bits
// ("$FFFFFFFF" is -1), as the old readers did.
bool parse(QStringView text, qint32 &value);

} // namespace integer_text
