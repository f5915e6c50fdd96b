#include "volume/TForm8.h"

#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/ClickDragBar.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"
#include "ui/Dialogs.h"
#include "volume/Mixer.h"

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
        // Until a mixer is attached the bars only show their values.
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
    placement::moveTo(*this, ini.readInteger(s, QStringLiteral("ZLeva"), 0), ini.readInteger(s, QStringLiteral("ZHora"), 0));
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

void TForm8::attachMixer(Mixer &mixer, ClickDragBar *radioBar)
{
    for (int i = 1; i <= 4; ++i)
        ProgressBar[i]->setEnabled(true);
    const auto master = [&mixer](ClickDragBar *other, int position) {
        mixer.SetMasterVolume(static_cast<std::uint16_t>(position));
        if (other)
            other->setValue(position);
    };
    connect(ProgressBar[1], &ClickDragBar::applied, this,
            [master, radioBar](int position) { master(radioBar, position); });
    if (radioBar) {
        radioBar->setEnabled(true);
        connect(radioBar, &ClickDragBar::applied, this,
                [this, master](int position) { master(ProgressBar[1], position); });
    }
    connect(ProgressBar[2], &ClickDragBar::applied, this, [this, &mixer](int position) {
        mixer.SetWaveVolume(static_cast<std::uint16_t>(position), static_cast<std::uint16_t>(position));
        ProgressBar[3]->setValue(position);
        ProgressBar[4]->setValue(position);
    });
    for (int i = 3; i <= 4; ++i) {
        connect(ProgressBar[i], &ClickDragBar::applied, this, [this, &mixer] {
            mixer.SetWaveVolume(static_cast<std::uint16_t>(ProgressBar[3]->value()),
                                static_cast<std::uint16_t>(ProgressBar[4]->value()));
        });
    }
    // The mixer tells a run of failures once, not on every move of the pointer.
    connect(&mixer, &Mixer::failed, this, [this] {
        main_.dialogs().showMessage(this, QStringLiteral("Došlo k chybě při pokusu o změnu hlasitosti."));
    });
}

void TForm8::writeSettings(IniFile &ini) const
{
    const QString s = QStringLiteral("NASTAVENI8");
    placement::write(ini, s, *this, false);
    for (int i = 2; i <= 4; ++i)
        ini.writeInteger(s, QStringLiteral("Hlasitost%1").arg(i), ProgressBar[i]->value());
}
