#include "settings/Colour.h"

#include "settings/IntegerText.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace colour {

namespace {

struct Named {
    const char *name;
    quint32 value;
};

constexpr quint32 System = 0xFF000000;

constexpr std::array<Named, 52> names = {{
    {"clBlack", 0x000000}, {"clMaroon", 0x000080}, {"clGreen", 0x008000},
    {"clOlive", 0x008080}, {"clNavy", 0x800000}, {"clPurple", 0x800080},
    {"clTeal", 0x808000}, {"clGray", 0x808080}, {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF}, {"clLime", 0x00FF00}, {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000}, {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF}, {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF}, {"clMedGray", 0xA4A0A0}, {"clNone", None},
    {"clDefault", Default},
    {"clScrollBar", System | 0x00}, {"clBackground", System | 0x01},
    {"clActiveCaption", System | 0x02}, {"clInactiveCaption", System | 0x03},
    {"clMenu", System | 0x04}, {"clWindow", System | 0x05},
    {"clWindowFrame", System | 0x06}, {"clMenuText", System | 0x07},
    {"clWindowText", System | 0x08}, {"clCaptionText", System | 0x09},
    {"clActiveBorder", System | 0x0A}, {"clInactiveBorder", System | 0x0B},
    {"clAppWorkSpace", System | 0x0C}, {"clHighlight", System | 0x0D},
    {"clHighlightText", System | 0x0E}, {"clBtnFace", System | 0x0F},
    {"clBtnShadow", System | 0x10}, {"clGrayText", System | 0x11},
    {"clBtnText", System | 0x12}, {"clInactiveCaptionText", System | 0x13},
    {"clBtnHighlight", System | 0x14}, {"cl3DDkShadow", System | 0x15},
    {"cl3DLight", System | 0x16}, {"clInfoText", System | 0x17},
    {"clInfoBk", System | 0x18}, {"clHotLight", System | 0x1A},
    {"clGradientActiveCaption", System | 0x1B},
    {"clGradientInactiveCaption", System | 0x1C},
    {"clMenuHighlight", System | 0x1D}, {"clMenuBar", System | 0x1E},
}};

QPalette currentPalette()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QGuiApplication::palette();
    return QPalette(Qt::black, Qt::lightGray, Qt::white, Qt::darkGray, Qt::gray,
                    Qt::black, Qt::white, Qt::white, Qt::lightGray);
}

QColor systemColour(unsigned index)
{
    const QPalette p = currentPalette();
    using P = QPalette;
    switch (index) {
    case 0x00: return p.color(P::Button);                        // scroll bar
    case 0x01: return p.color(P::Dark);                          // desktop
    case 0x02: return p.color(P::Highlight);                     // active caption
    case 0x03: return p.color(P::Inactive, P::Highlight);        // inactive caption
    case 0x04: return p.color(P::Window);                        // menu
    case 0x05: return p.color(P::Base);                          // window
    case 0x06: return p.color(P::Shadow);                        // window frame
    case 0x07: return p.color(P::WindowText);                    // menu text
    case 0x08: return p.color(P::Text);                          // window text
    case 0x09: return p.color(P::HighlightedText);               // caption text
    case 0x0A: return p.color(P::Window);                        // active border
    case 0x0B: return p.color(P::Inactive, P::Window);           // inactive border
    case 0x0C: return p.color(P::Dark);                          // MDI work space
    case 0x0D: return p.color(P::Highlight);
    case 0x0E: return p.color(P::HighlightedText);
    case 0x0F: return p.color(P::Button);                        // button face
    case 0x10: return p.color(P::Dark);                          // button shadow
    case 0x11: return p.color(P::Disabled, P::Text);             // grey text
    case 0x12: return p.color(P::ButtonText);
    case 0x13: return p.color(P::Inactive, P::HighlightedText);  // inactive caption text
    case 0x14: return p.color(P::Light);                         // button highlight
    case 0x15: return p.color(P::Shadow);                        // 3D dark shadow
    case 0x16: return p.color(P::Midlight);                      // 3D light
    case 0x17: return p.color(P::ToolTipText);
    case 0x18: return p.color(P::ToolTipBase);
    case 0x1A: return p.color(P::Link);                          // hot-tracked item
    case 0x1B: return p.color(P::Highlight);                     // gradient of active caption
    case 0x1C: return p.color(P::Inactive, P::Highlight);
    case 0x1D: return p.color(P::Highlight);                     // menu highlight
    case 0x1E: return p.color(P::Window);                        // menu bar
    default: return QColor(Qt::black);                           // unknown index, as the system gives
    }
}

} // namespace

bool fromString(const QString &text, quint32 &result)
{
    for (const Named &n : names) {
        if (text.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0) {
            result = n.value;
            return true;
        }
    }
    qint32 number = 0;
    if (!integer_text::parse(text, number))
        return false;
    result = quint32(number);
    return true;
}

QString toString(quint32 value)
{
    for (const Named &n : names) {
        if (n.value == value)
            return QLatin1String(n.name);
    }
    return QStringLiteral("$%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

QColor toQColor(quint32 value)
{
    if (value == None)
        return QColor();
    if (value == Default)
        return QColor(Qt::black);
    if (value & 0x80000000u)
        return systemColour(value & 0xFF);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 fromQColor(const QColor &c)
{
    if (!c.isValid())
        return None;
    const QColor rgb = c.toRgb();
    return quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16);
}

} // namespace colour
