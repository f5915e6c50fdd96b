#include "volume/TForm8.h"

#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/ClickDragBar.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QLabel>

TForm8::TForm8(MainWindowLink &main, int radioBarPosition)
    : ToolWindow(QStringLiteral("Form8"), QStringLiteral("Panel1"), false)
    , main_(main)
{
    resize(900, 150);
    for (int i = 1; i <= 4; ++i) {
        const int top = 24 + (i - 1) * 30;
        ProgressBar[i] = new ClickDragBar(QStringLiteral("ProgressBar%1").arg(i), 65535, 86, this);
        ProgressBar[i]->setGeometry(8, top, 761, 22);
        Label[i] = new QLabel(this);
        Label[i]->setObjectName(QStringLiteral("Label%1").arg(i));
        Label[i]->setGeometry(777, top, 115, 22);
        // The mixer arrives with the volume work; until then the bars only show their values.
        ProgressBar[i]->setEnabled(false);
    }
    FormCreate(radioBarPosition);
}

void TForm8::FormCreate(int radioBarPosition)
{
    main_.registerWindow(WindowId::Volume, this, this);
    const IniFile ini(main_.settingsPath());
    const QString s = QStringLiteral("NASTAVENI8");
    ProgressBar[1]->setValue(std::clamp(radioBarPosition, 0, 65535));
    move(ini.readInteger(s, QStringLiteral("ZLeva"), 0), ini.readInteger(s, QStringLiteral("ZHora"), 0));
    if (ini.readBool(s, QStringLiteral("Videt"), true))
        main_.performToggle(WindowId::Volume);
    for (int i = 2; i <= 4; ++i)
        ProgressBar[i]->setValue(std::clamp(ini.readInteger(s, QStringLiteral("Hlasitost%1").arg(i), 65535), 0, 65535));
    const LineTable &lines = main_.languageLines();
    setStripText(lines.line(52, QStringLiteral("Hlasitost")));
    const char *design[5] = {"", "Master", "Wave", "Levy", "Pravy"};
    for (int i = 1; i <= 4; ++i)
        Label[i]->setText(lines.line(52 + i, QString::fromLatin1(design[i])));
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
}

void TForm8::writeSettings(IniFile &ini) const
{
    const QString s = QStringLiteral("NASTAVENI8");
    placement::write(ini, s, *this, false);
    for (int i = 2; i <= 4; ++i)
        ini.writeInteger(s, QStringLiteral("Hlasitost%1").arg(i), ProgressBar[i]->value());
}
