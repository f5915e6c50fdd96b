#include "converter/TForm7.h"

#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

TForm7::TForm7(MainWindowLink &main)
    : ToolWindow(QStringLiteral("Form7"), QStringLiteral("Panel1"), false)
    , main_(main)
{
    resize(420, 330);
    ComboBox1 = new QComboBox(this);
    placeControl(ComboBox1, "ComboBox1", 8, 24, 404, 22);
    ComboBox1->setEditable(true);
    ListBox1 = new QListWidget(this);
    placeControl(ListBox1, "ListBox1", 8, 52, 404, 160);
    Edit1 = new QLineEdit(this);
    placeControl(Edit1, "Edit1", 8, 218, 404, 21);
    Button1 = new QPushButton(QStringLiteral("Pridat"), this);
    placeControl(Button1, "Button1", 8, 245, 198, 27);
    Button2 = new QPushButton(QStringLiteral("Start"), this);
    placeControl(Button2, "Button2", 214, 245, 198, 27);
    Gauge1 = new QProgressBar(this);
    placeControl(Gauge1, "Gauge1", 8, 280, 404, 18);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge2 = new QProgressBar(this);
    placeControl(Gauge2, "Gauge2", 8, 304, 404, 18);
    Gauge2->setRange(0, 0);
    Gauge2->setMaximum(1);
    Gauge2->setValue(0);
    // Decoding and encoding come with the converter work; until then nothing can be started.
    for (QWidget *w : std::initializer_list<QWidget *>{ComboBox1, ListBox1, Edit1, Button1, Button2})
        w->setEnabled(false);
    FormCreate();
}

void TForm7::FormCreate()
{
    main_.registerWindow(WindowId::Converter, this, this);
    const IniFile ini(main_.settingsPath());
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI7"), *this, QSize());
    if (visible)
        main_.performToggle(WindowId::Converter);
    const LineTable &lines = main_.languageLines();
    setStripText(lines.line(33, QStringLiteral("Konvertor")));
    Button1->setText(lines.line(35, Button1->text()));
    Button2->setText(lines.line(36, Button2->text()));
    for (int n : {37, 38, 40, 42, 44})
        ComboBox1->addItem(lines.line(n));
    ComboBox1->setEditText(lines.line(37));
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
}

void TForm7::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI7"), *this, false);
}
