#include "ui/Placement.h"

#include "settings/IniFile.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QVariant>

#include <QWidget>

#include <algorithm>
#include <optional>

namespace placement {

namespace {

constexpr int StripHeight = 17;
constexpr int StripPart = 60; // of the strip's width that must be on a screen to grab it
const char *const HiddenByMinimise = "tarnelHiddenByMinimise";

std::optional<bool> &positionsOverride()
{
    static std::optional<bool> known;
    return known;
}

QRect screenArea()
{
    QRect area;
    for (const QScreen *screen : QGuiApplication::screens())
        area = area.united(screen->availableGeometry());
    return area;
}

} // namespace

void resizeTo(QWidget &window, int width, int height)
{
    QSize size(std::max(width, 1), std::max(height, 1));
    const QRect area = screenArea();
    if (area.isValid())
        size = size.boundedTo(area.size());
    // The window's minimum size applies to what was stored.
    window.resize(size.expandedTo(window.minimumSize()).boundedTo(window.maximumSize()));
}

void moveTo(QWidget &window, int left, int top)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty()) {
        window.move(left, top);
        return;
    }
    // 64-bit arithmetic: stored values may be anything an int holds.
    const qint64 part = std::min(StripPart, window.width());
    const auto stripOn = [&](const QRect &a) {
        return qint64(left) + part > a.left() && qint64(left) < qint64(a.right()) - part + 1
            && qint64(top) >= a.top() && qint64(top) + StripHeight <= qint64(a.bottom()) + 1;
    };
    for (const QScreen *screen : screens)
        if (stripOn(screen->availableGeometry())) {
            window.move(left, top);
            return;
        }
    const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
    const qint64 x = std::clamp<qint64>(left, a.left(), std::max<qint64>(a.left(), qint64(a.right()) + 1 - std::max<qint64>(part, window.width())));
    const qint64 y = std::clamp<qint64>(top, a.top(), std::max<qint64>(a.top(), qint64(a.bottom()) + 1 - StripHeight));
    window.move(int(x), int(y));
}

bool read(const IniFile &ini, const QString &section, QWidget &window, QSize defaultSize)
{
    if (defaultSize.isValid()) {
        const int w = ini.readInteger(section, QStringLiteral("Sirka"), defaultSize.width());
        const int h = ini.readInteger(section, QStringLiteral("Vyska"), defaultSize.height());
        resizeTo(window, w, h);
    }
    moveTo(window, ini.readInteger(section, QStringLiteral("ZLeva"), 0), ini.readInteger(section, QStringLiteral("ZHora"), 0));
    return ini.readBool(section, QStringLiteral("Videt"), true);
}

bool positionsKnown()
{
    if (positionsOverride())
        return *positionsOverride();
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void setPositionsKnown(bool known)
{
    positionsOverride() = known;
}

void resetPositionsKnown()
{
    positionsOverride().reset();
}

void setHiddenByMinimise(QWidget &window, bool hidden)
{
    window.setProperty(HiddenByMinimise, hidden ? QVariant(true) : QVariant());
}

bool hiddenByMinimise(const QWidget &window)
{
    return window.property(HiddenByMinimise).toBool();
}

void writePosition(IniFile &ini, const QString &section, const QWidget &window)
{
    if (!positionsKnown())
        return;
    ini.writeInteger(section, QStringLiteral("ZLeva"), window.x());
    ini.writeInteger(section, QStringLiteral("ZHora"), window.y());
}

void write(IniFile &ini, const QString &section, const QWidget &window, bool sized, bool withVisible)
{
    if (sized) {
        ini.writeInteger(section, QStringLiteral("Sirka"), window.width());
        ini.writeInteger(section, QStringLiteral("Vyska"), window.height());
    }
    writePosition(ini, section, window);
    if (withVisible)
        ini.writeBool(section, QStringLiteral("Videt"), window.isVisible() || hiddenByMinimise(window));
}

} // namespace placement

void applyMainFont(QWidget &window, const QFont &font, const QColor &colour)
{
    window.setFont(font);
    QPalette pal = window.palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Text, colour);
    pal.setColor(QPalette::ButtonText, colour);
    window.setPalette(pal);
}
