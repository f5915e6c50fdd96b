#include "ui/Placement.h"

#include "settings/IniFile.h"

#include <QPalette>
#include <QWidget>

namespace placement {

bool read(const IniFile &ini, const QString &section, QWidget &window, QSize defaultSize)
{
    if (defaultSize.isValid()) {
        const int w = ini.readInteger(section, QStringLiteral("Sirka"), defaultSize.width());
        const int h = ini.readInteger(section, QStringLiteral("Vyska"), defaultSize.height());
        // The window's minimum size applies to what was stored.
        window.resize(QSize(w, h).expandedTo(window.minimumSize()).boundedTo(window.maximumSize()));
    }
    const int left = ini.readInteger(section, QStringLiteral("ZLeva"), 0);
    const int top = ini.readInteger(section, QStringLiteral("ZHora"), 0);
    window.move(left, top);
    return ini.readBool(section, QStringLiteral("Videt"), true);
}

void write(IniFile &ini, const QString &section, const QWidget &window, bool sized, bool withVisible)
{
    if (sized) {
        ini.writeInteger(section, QStringLiteral("Sirka"), window.width());
        ini.writeInteger(section, QStringLiteral("Vyska"), window.height());
    }
    ini.writeInteger(section, QStringLiteral("ZLeva"), window.x());
    ini.writeInteger(section, QStringLiteral("ZHora"), window.y());
    if (withVisible)
        ini.writeBool(section, QStringLiteral("Videt"), window.isVisible());
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
