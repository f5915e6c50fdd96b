#include "online/TForm2.h"

#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

TForm2::TForm2(MainWindowLink &main)
    : ToolWindow(QStringLiteral("Form2"), QStringLiteral("Panel1"), false)
    , main_(main)
{
    resize(618, 490);
    Gauge1 = new QProgressBar(this);
    placeControl(Gauge1, "Gauge1", 0, 17, 618, 24);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Button1 = new QPushButton(QStringLiteral("Aktualizace"), this);
    placeControl(Button1, "Button1", 8, 48, 145, 33);
    CheckBox1 = new QCheckBox(QStringLiteral("Automaticky"), this);
    placeControl(CheckBox1, "CheckBox1", 8, 88, 185, 25);
    ComboBox1 = new QComboBox(this);
    placeControl(ComboBox1, "ComboBox1", 8, 112, 145, 21);
    Button2 = new QPushButton(QStringLiteral("Font"), this);
    placeControl(Button2, "Button2", 8, 152, 145, 33);
    ValueListEditor1 = new QTableWidget(2, 2, this);
    placeControl(ValueListEditor1, "ValueListEditor1", 8, 192, 306, 81);
    ValueListEditor1->verticalHeader()->hide();
    ValueListEditor1->horizontalHeader()->setStretchLastSection(true);
    ListBox2 = new QListWidget(this);
    placeControl(ListBox2, "ListBox2", 8, 280, 601, 145);
    Edit1 = new QLineEdit(this);
    placeControl(Edit1, "Edit1", 8, 432, 121, 21);
    Edit2 = new QLineEdit(this);
    placeControl(Edit2, "Edit2", 8, 456, 521, 21);
    Button3 = new QPushButton(QStringLiteral("Odeslat"), this);
    placeControl(Button3, "Button3", 536, 456, 75, 25);

    // Update check, reports, language restart, font and shortcut editing arrive with
    // the online services and settings work; until then they cannot be used.
    for (QWidget *w : std::initializer_list<QWidget *>{Button1, ComboBox1, Button2, ValueListEditor1, ListBox2,
                                                      Edit1, Edit2, Button3})
        w->setEnabled(false);
    FormCreate();
}

void TForm2::FormCreate()
{
    main_.registerWindow(WindowId::Settings, this, this);
    const IniFile ini(main_.settingsPath());
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI2"), *this, QSize());
    const bool autoUpdate = ini.readBool(QStringLiteral("NASTAVENI2"), QStringLiteral("Aktualizace"), true);
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
    if (visible)
        main_.performToggle(WindowId::Settings);
    if (autoUpdate)
        CheckBox1->setChecked(true);

    const LineTable &lines = main_.languageLines();
    setStripText(lines.line(0, QStringLiteral("Nastaveni")));
    Button1->setText(lines.line(1, Button1->text()));
    CheckBox1->setText(lines.line(3, CheckBox1->text()));
    Button2->setText(lines.line(4, Button2->text()));
    ValueListEditor1->setHorizontalHeaderLabels({lines.line(21, QStringLiteral("Akce")), lines.line(20, QStringLiteral("Zkratka"))});
    Edit1->setText(lines.line(77, Edit1->text()));
    Button3->setText(lines.line(78, Button3->text()));

    const LineTable &shortcuts = main_.shortcutLines();
    const QString rows[2][2] = {
        {lines.line(19), shortcuts.line(0)},
        {lines.line(22) + QLatin1Char(',') + lines.line(6), shortcuts.line(1)},
    };
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            ValueListEditor1->setItem(r, c, new QTableWidgetItem(rows[r][c]));

    LineTable codes;
    codes.load(LanguageTables::languageListPath(main_.programDir()));
    ComboBox1->addItems(codes.lines());
    ComboBox1->setEditable(true);
    ComboBox1->setEditText(main_.languageCode());
}

void TForm2::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI2"), *this, false);
    ini.writeBool(QStringLiteral("NASTAVENI2"), QStringLiteral("Aktualizace"), CheckBox1->isChecked());
}
