#include "radio/TForm6.h"

#include "radio/RadioPlayer.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "settings/Shortcuts.h"
#include "storage/ListStore.h"
#include "ui/BarPopupMenu.h"
#include "ui/ClickDragBar.h"
#include "ui/Dialogs.h"
#include "ui/ImageList.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

const QString TForm6::DefaultStation = QStringLiteral("http://radio.tarnel.cz:8000/quillon128.m3u");

TForm6::TForm6(MainWindowLink &main, RadioPlayer &radio)
    : ToolWindow(QStringLiteral("Form6"), QStringLiteral("Panel1"), false)
    , main_(main)
    , radio_(radio)
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
    ListBox1->installEventFilter(this);
    GroupBox3 = placeControl(new QGroupBox(this), "GroupBox3", 8, 304, 265, 81);
    ed_ProxyServer = placeControl(new QLineEdit(GroupBox3), "ed_ProxyServer", 8, 16, 249, 21);
    ed_ProxyServer->setMaxLength(100);
    Label6 = placeControl(new QLabel(GroupBox3), "Label6", 10, 40, 249, 16);
    cbDirectConnection = placeControl(new QCheckBox(GroupBox3), "cbDirectConnection", 8, 60, 113, 17);
    Button1 = placeControl(new QPushButton(this), "Button1", 8, 392, 641, 41);
    ProgressBar1 = placeControl(new ClickDragBar(QStringLiteral("ProgressBar1"), 65535, 102, this), "ProgressBar1", 8, 440, 641, 33);
    Edit1 = placeControl(new QLineEdit(DefaultStation, this), "Edit1", 8, 480, 641, 21);
    Button2 = placeControl(new QPushButton(this), "Button2", 8, 520, 641, 41);

    BcBarPopupMenu1 = new BarPopupMenu(this);
    BcBarPopupMenu1->setObjectName(QStringLiteral("BcBarPopupMenu1"));
    Odebrat1 = BcBarPopupMenu1->addAction(QStringLiteral("Odebrat"));
    Odebrat1->setObjectName(QStringLiteral("Odebrat1"));
    Spustit1 = BcBarPopupMenu1->addAction(QStringLiteral("Spustit"));
    Spustit1->setObjectName(QStringLiteral("Spustit1"));
    for (QAction *a : {Odebrat1, Spustit1}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        ListBox1->addAction(a);
    }
    connect(Odebrat1, &QAction::triggered, this, &TForm6::Odebrat1Click);
    connect(Spustit1, &QAction::triggered, this, &TForm6::ListBox1DblClick);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TForm6::ListBox1DblClick);
    connect(Button1, &QPushButton::clicked, this, &TForm6::ListBox1DblClick);
    connect(Button2, &QPushButton::clicked, this, &TForm6::Button2Click);
    connect(&radio_, &RadioPlayer::radioInfo, this, &TForm6::WndProc);
    FormCreate();
}

void TForm6::FormCreate()
{
    main_.registerWindow(WindowId::Radio, this, this);
    loadStations();
    const IniFile ini(main_.settingsPath());
    const QString s = QStringLiteral("NASTAVENI6");
    placement::moveTo(*this, ini.readInteger(s, QStringLiteral("ZLeva"), 0), ini.readInteger(s, QStringLiteral("ZHora"), 0));
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
    Odebrat1->setText(lines.line(19, Odebrat1->text()));
    Odebrat1->setIcon(main_.images().icon(9));
    Spustit1->setText(lines.line(6, Spustit1->text()));
    Spustit1->setIcon(main_.images().icon(1));
    LineTable &keys = main_.shortcutLines();
    if (keys.has(0))
        Odebrat1->setShortcut(shortcutFromText(keys.line(0)));
    if (keys.has(1))
        Spustit1->setShortcut(shortcutFromText(keys.line(1)));
    MenuBarLook look = main_.popupBarLook();
    look.caption = main_.mainCaption();
    BcBarPopupMenu1->setLook(look);
}

void TForm6::loadStations()
{
    ListBox1->clear();
    const QString path = main_.stateDir() + QStringLiteral("radia.st3");
    const ListStore::LoadResult result = ListStore::loadList(path, false);
    listSafeToReplace_ = result.safeToReplace;
    using Status = ListStore::LoadResult::Status;
    if (result.status == Status::Missing) {
        ListBox1->addItem(DefaultStation);
        saveStations();
        return;
    }
    ListBox1->addItems(result.entries);
    QString text;
    if (result.status == Status::Damaged)
        text = result.movedAsidePath.isEmpty()
            ? QStringLiteral("Soubor se seznamem stanic \"%1\" je poškozený a nelze jej načíst (%2). "
                             "Seznam začíná prázdný; soubor zůstává beze změny.")
                  .arg(path, result.error)
            : QStringLiteral("Soubor se seznamem stanic \"%1\" je poškozený a nelze jej načíst. "
                             "Byl uschován jako \"%2\"; seznam začíná prázdný.")
                  .arg(path, result.movedAsidePath);
    else if (result.status == Status::CutAtZero)
        text = QStringLiteral("Soubor se seznamem stanic \"%1\" obsahuje nulový bajt; načteny jsou jen stanice před ním. %2")
                   .arg(path, result.movedAsidePath.isEmpty() ? QStringLiteral("Soubor zůstává beze změny.")
                                                             : QStringLiteral("Celý soubor byl uschován jako \"%1\".").arg(result.movedAsidePath));
    else if (result.status == Status::Unreadable)
        text = QStringLiteral("Soubor se seznamem stanic \"%1\" nelze přečíst: %2").arg(path, result.error);
    if (!text.isEmpty()) // told once, after the windows are up
        QTimer::singleShot(0, this, [this, text] { main_.dialogs().showMessage(this, text); });
}

QStringList TForm6::rows() const
{
    QStringList out;
    out.reserve(ListBox1->count());
    for (int i = 0; i < ListBox1->count(); ++i)
        out.append(ListBox1->item(i)->text());
    return out;
}

void TForm6::saveStations()
{
    const QString path = main_.stateDir() + QStringLiteral("radia.st3");
    QString error;
    if (!listSafeToReplace_)
        error = QStringLiteral("Soubor \"%1\" nelze přečíst, a proto jej nelze ani přepsat.").arg(path);
    else if (ListStore::saveList(path, rows(), &error))
        return;
    main_.dialogs().showMessage(this, error);
}

void TForm6::Button2Click()
{
    if (ListBox1->count() >= StationUrls::MaxStations) {
        main_.dialogs().showMessage(this, QStringLiteral("Seznam může mít nejvýše %1 stanic.").arg(StationUrls::MaxStations));
        return;
    }
    ListBox1->addItem(Edit1->text());
    saveStations();
}

void TForm6::Odebrat1Click()
{
    const QList<QListWidgetItem *> selected = ListBox1->selectedItems();
    for (QListWidgetItem *item : selected)
        delete item;
    saveStations();
}

void TForm6::ListBox1DblClick()
{
    if (!stationUrls_.copyRows(rows())) {
        main_.dialogs().showMessage(this, QStringLiteral("Seznam má víc než %1 stanic; spustit lze jen seznam do %1 stanic.")
                                              .arg(StationUrls::MaxStations));
        return;
    }
    if (!proxySetting_.assign(ed_ProxyServer->text())) {
        main_.dialogs().showMessage(this, QStringLiteral("Adresa proxy serveru může mít nejvýše %1 znaků.")
                                              .arg(ProxySetting::Bytes - 1));
        return;
    }
    // A checked "direct connection" leaves the proxy text unused.
    const QString proxy = cbDirectConnection->isChecked() ? QString() : proxySetting_.text();
    // While a station connects, the same station again beeps; another one replaces it.
    if (!radio_.start(stationUrls_.slot(ListBox1->currentRow() + 1), proxy))
        main_.dialogs().beep();
}

void TForm6::WndProc(int code, quint32 number, const QString &text)
{
    const LineTable &lines = main_.languageLines();
    switch (code) {
    case 0:
        Label4->setText(lines.line(28));
        Label3->clear();
        Label5->clear();
        break;
    case 1:
        Label4->setText(lines.line(16));
        main_.dialogs().showMessage(this, QStringLiteral("Can't play the stream\n(error code: %1)").arg(number));
        break;
    case 2:
        Label4->setText(lines.line(29) + QStringLiteral(" %1%").arg(number));
        break;
    case 3:
        Label4->setText(text);
        break;
    case 4:
    case 8:
        Label5->setText(text);
        break;
    case 7:
        Label3->setText(text);
        break;
    case 9:
        labelBeforeReconnect_ = Label4->text();
        Label4->setText(lines.line(28));
        break;
    case 10:
        Label4->setText(labelBeforeReconnect_);
        break;
    default:
        break;
    }
}

void TForm6::contextMenuEvent(QContextMenuEvent *event)
{
    if (ListBox1->geometry().contains(event->pos()))
        BcBarPopupMenu1->popup(event->globalPos());
}

bool TForm6::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ListBox1DblClick();
            return true;
        }
    }
    return ToolWindow::eventFilter(watched, event);
}

void TForm6::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI6"), *this, false);
    ini.writeInteger(QStringLiteral("NASTAVENI6"), QStringLiteral("Hlasitost"), ProgressBar1->value());
}
