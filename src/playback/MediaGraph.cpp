#include "playback/MediaGraph.h"

#include <algorithm>
#include <cmath>

MediaGraphError::MediaGraphError(std::uint32_t code, const QString &engineText, Reason reason)
    : std::runtime_error((engineText + QStringLiteral(" ($") + QString::number(code, 16).toUpper()
                          + QStringLiteral(")."))
                             .toStdString())
    , code_(code)
    , engineText_(engineText)
    , reason_(reason)
{
}

int MediaGraph::volumeToCentibels(int level)
{
    level = std::clamp(level, 0, 10000);
    return static_cast<int>(std::lround(std::log(level + 1.0) * 1085.73)) - 10000;
}

double MediaGraph::volumeToLinearGain(int level)
{
    if (level <= 0)
        return 0.0;
    return std::pow(10.0, volumeToCentibels(level) / 2000.0);
}
