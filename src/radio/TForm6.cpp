#include "radio/TForm6.h"

#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/ClickDragBar.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
const QString defaultStation = QStringLiteral("http://radio.tarnel.cz:8000/quillon128.m3u");
} // namespace

TForm6::TForm6(MainWindowLink &main)
    : ToolWindow(QStringLiteral("Form6"), QStringLiteral("Panel1"), false)
    , main_(main)
{
    resize(657, 569);
    GroupBox2 = placeControl(new QGroupBox(this), "GroupBox2", 8, 20, 265, 277);
    Label3 = placeControl(new QLabel(GroupBox2), "Label3", 11, 16, 245, 33);
    Label4 = placeControl(new QLabel(GroupBox2), "Label4", 8, 56, 241, 153);
    Label5 = placeControl(new QLabel(GroupBox2), "Label5", 8, 232, 249, 29);
    for (QLabel *l : {Label3, Label4, Label5}) {
        l->setAlignment(Qt::AlignCenter);
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);
    }
    QFont big = Label4->font();
    big.setPointSize(16);
    Label4->setFont(big);
    ListBox1 = placeControl(new QListWidget(this), "ListBox1", 280, 24, 369, 361);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    GroupBox3 = placeControl(new QGroupBox(this), "GroupBox3", 8, 304, 265, 81);
    ed_ProxyServer = placeControl(new QLineEdit(GroupBox3), "ed_ProxyServer", 8, 16, 249, 21);
    ed_ProxyServer->setMaxLength(99);
    Label6 = placeControl(new QLabel(GroupBox3), "Label6", 10, 40, 249, 16);
    cbDirectConnection = placeControl(new QCheckBox(GroupBox3), "cbDirectConnection", 8, 60, 113, 17);
    Button1 = placeControl(new QPushButton(this), "Button1", 8, 392, 641, 41);
    ProgressBar1 = placeControl(new ClickDragBar(QStringLiteral("ProgressBar1"), 65535, 102, this), "ProgressBar1", 8, 440, 641, 33);
    Edit1 = placeControl(new QLineEdit(defaultStation, this), "Edit1", 8, 480, 641, 21);
    Button2 = placeControl(new QPushButton(this), "Button2", 8, 520, 641, 41);

    // Stations and streams arrive with the radio work; until then only the volume bar
    // (the master volume, through the volume window's mixer) can be used.
    for (QWidget *w : std::initializer_list<QWidget *>{ListBox1, GroupBox3, Button1, Edit1, Button2})
        w->setEnabled(false);
    FormCreate();
}

void TForm6::FormCreate()
{
    main_.registerWindow(WindowId::Radio, this, this);
    const IniFile ini(main_.settingsPath());
    const QString s = QStringLiteral("NASTAVENI6");
    move(ini.readInteger(s, QStringLiteral("ZLeva"), 0), ini.readInteger(s, QStringLiteral("ZHora"), 0));
    ProgressBar1->setValue(std::clamp(ini.readInteger(s, QStringLiteral("Hlasitost"), 65535), 0, 65535));
    if (ini.readBool(s, QStringLiteral("Videt"), true))
        main_.performToggle(WindowId::Radio);
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());

    const LineTable &lines = main_.languageLines();
    Label4->setText(lines.line(16, Label4->text()));
    GroupBox2->setTitle(lines.line(24, QStringLiteral("Informace")));
    GroupBox3->setTitle(lines.line(25, QStringLiteral("Proxy")));
    Label6->setText(lines.line(26, QStringLiteral("jmeno:heslo@server:port")));
    cbDirectConnection->setText(lines.line(27, QStringLiteral("Prime spojeni")));
    Button1->setText(lines.line(30, QStringLiteral("Spustit")));
    Button2->setText(lines.line(31, QStringLiteral("Pridat")));
    setStripText(lines.line(32, QStringLiteral("Radio")));
}

void TForm6::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI6"), *this, false);
    ini.writeInteger(QStringLiteral("NASTAVENI6"), QStringLiteral("Hlasitost"), ProgressBar1->value());
}
