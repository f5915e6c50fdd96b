#include "radio/StationStore.h"

#include <algorithm>

bool StationUrls::copyRows(const QStringList &rows)
{
    if (rows.size() > MaxStations)
        return false;
    for (qsizetype i = 0; i < rows.size(); ++i)
        slots_[size_t(i) + 1] = rows[i];
    return true;
}

QString StationUrls::slot(int index) const
{
    return index >= 0 && index < Slots ? slots_[size_t(index)] : QString();
}

bool ProxySetting::assign(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() >= Bytes)
        return false;
    buffer_.fill(0);
    std::copy(bytes.begin(), bytes.end(), buffer_.begin());
    return true;
}

QString ProxySetting::text() const
{
    return QString::fromUtf8(buffer_.data());
}
