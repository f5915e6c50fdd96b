// The main window's popup menu: window toggles, drives, computer control, minimise, end.
// The commands of the drive and computer-control menus are in SystemMenu.cpp.
#include "app/TForm1.h"

#include "system/Drives.h"
#include "ui/ImageList.h"

#include <QAction>
#include <QMenu>

namespace {

struct ItemSpec {
    const char *name;
    int line;            // language line, -1 keeps the design caption
    const char *design;  // caption of the window design
};

// Computer-control submenus: parent, then its items.
struct SubmenuSpec {
    ItemSpec parent;
    std::initializer_list<ItemSpec> items;
};

const SubmenuSpec computerMenus[] = {
    {{"Windows1", 62, "Windows"},
     {{"Vypnoutwin1", 58, "Vypnout win"}, {"Odhlasit1", 61, "Odhlasit"}, {"Cas1", 67, "Cas"}}},
    {{"Pocitac2", 57, "Pocitac"},
     {{"Vypnout1", 59, "Vypnout"}, {"Restart1", 60, "Restart"}, {"Uspat1", -1, "Uspat"},
      {"Vypnoutmonitor1", 72, "Vypnout monitor"}, {"MonitordoStandby1", 73, "Monitor do Standby"},
      {"Zapnutimonitoru1", 74, "Zapnuti monitoru"}}},
    {{"Sporic1", 63, "Sporic"}, {{"Zapnout1", 64, "Zapnout"}, {"Vypnout2", 65, "Vypnout"}}},
    {{"Program1", -1, "Program"},
     {{"Zapnoutpristartu1", -1, "Zapnout pri startu"}, {"Vypnoutpristartu1", -1, "Vypnout pri startu"}}},
    {{"Mys1", 68, "Mys"}, {{"Levak1", 69, "Levak"}, {"Pravak1", 70, "Pravak"}}},
};

struct ToggleSpec {
    ItemSpec item;
    int image;
    WindowId window;
};

const ToggleSpec toggles[] = {
    {{"Nastaveni1", 0, "Nastaveni"}, 0, WindowId::Settings},
    {{"Okno1", 7, "Okno"}, 2, WindowId::Video},
    {{"Playlist1", 18, "Playlist"}, 8, WindowId::Playlist},
    {{"Radio1", 32, "Radio"}, 10, WindowId::Radio},
    {{"Konvertor1", 33, "Konvertor"}, 20, WindowId::Converter},
    {{"Vizualizace1", -1, "Vizualizace"}, 24, WindowId::Visualisation},
    {{"Hlasitost1", -1, "Hlasitost"}, 21, WindowId::Volume},
};

const ItemSpec fixedItems[] = {
    {"Mechanika1", 46, "Mechanika"}, {"Otevrit1", 47, "Otevrit"}, {"Zavrit1", 48, "Zavrit"},
    {"Otazka1", 49, "Otazka"},       {"Pocitac1", 66, "Pocitac"}, {"Minimalizovat1", 75, "Minimalizovat"},
    {"Konec1", 71, "Konec"},
};

QAction *makeItem(QMenu *menu, const char *name, const char *design, const QIcon &icon)
{
    auto *a = menu->addAction(icon, QString::fromUtf8(design));
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QMenu *makeSubmenu(QMenu *menu, const char *name, const char *design, const QIcon &icon)
{
    auto *sub = new QMenu(QString::fromUtf8(design), menu);
    sub->setIcon(icon);
    QAction *a = menu->addMenu(sub);
    a->setObjectName(QString::fromLatin1(name));
    return sub;
}

} // namespace

void TForm1::buildMenu()
{
    menu_ = new BarPopupMenu(this);
    menu_->setObjectName(QStringLiteral("BcBarPopupMenu1"));

    for (const ToggleSpec &t : toggles) {
        QAction *a = makeItem(menu_, t.item.name, t.item.design, images_.icon(t.image));
        a->setCheckable(true);
        const WindowId id = t.window;
        windows_[id].toggle = a;
        connect(a, &QAction::triggered, this, [this, id] { performToggle(id); });
    }

    buildDriveMenus();

    QMenu *computerMenu = makeSubmenu(menu_, "Pocitac1", "Pocitac", images_.icon(22));
    for (const SubmenuSpec &sm : computerMenus) {
        QMenu *sub = makeSubmenu(computerMenu, sm.parent.name, sm.parent.design, images_.icon(22));
        for (const ItemSpec &item : sm.items) {
            makeItem(sub, item.name, item.design, images_.icon(22));
        }
    }
    connectSystemCommands();

    QAction *minimise = makeItem(menu_, "Minimalizovat1", "Minimalizovat", images_.icon(23));
    connect(minimise, &QAction::triggered, this, &TForm1::Minimalizovat1Click);
    QAction *end = makeItem(menu_, "Konec1", "Konec", images_.icon(9));
    connect(end, &QAction::triggered, this, [this] { close(); });
}

void TForm1::buildDriveMenus()
{
    QMenu *drivesMenu = makeSubmenu(menu_, "Mechanika1", "Mechanika", images_.icon(16));
    QMenu *openMenu = makeSubmenu(drivesMenu, "Otevrit1", "Otevrit", images_.icon(17));
    QMenu *closeMenu = makeSubmenu(drivesMenu, "Zavrit1", "Zavrit", images_.icon(18));
    QMenu *queryMenu = makeSubmenu(drivesMenu, "Otazka1", "Otazka", images_.icon(19));
    // Listed once at start, in three passes: queries, then doors open, then doors closed.
    const QVector<DriveEntry> driveList = services_.drives ? *services_.drives : drives::list();
    struct Pass {
        QMenu *menu;
        int image;
        void (TForm1::*handler)(QAction *);
    };
    for (const Pass &pass : {Pass{queryMenu, 19, &TForm1::DriveQueryClick}, Pass{openMenu, 17, &TForm1::DriveOpenClick},
                             Pass{closeMenu, 18, &TForm1::DriveCloseClick}}) {
        for (const DriveEntry &d : driveList) {
            QAction *a = pass.menu->addAction(images_.icon(pass.image), d.caption);
            a->setData(QVariant::fromValue(d));
            connect(a, &QAction::triggered, this, [this, a, h = pass.handler] { (this->*h)(a); });
        }
    }
}

QAction *TForm1::menuItem(const QString &objectName) const
{
    const QList<QAction *> all = menu_->findChildren<QAction *>(objectName);
    if (!all.isEmpty())
        return all.first();
    // Actions created by addAction() belong to their menu; walk the tree.
    QList<QMenu *> menus{menu_};
    while (!menus.isEmpty()) {
        QMenu *m = menus.takeFirst();
        for (QAction *a : m->actions()) {
            if (a->objectName() == objectName)
                return a;
            if (a->menu())
                menus.append(a->menu());
        }
    }
    return nullptr;
}

void TForm1::applyCaptions()
{
    const LineTable &lines = tables_.language;
    auto apply = [&](const ItemSpec &item) {
        if (item.line < 0)
            return;
        if (QAction *a = menuItem(QString::fromLatin1(item.name)))
            a->setText(lines.line(item.line, a->text()));
    };
    for (const ToggleSpec &t : toggles)
        apply(t.item);
    for (const ItemSpec &i : fixedItems)
        apply(i);
    for (const SubmenuSpec &sm : computerMenus) {
        apply(sm.parent);
        for (const ItemSpec &i : sm.items)
            apply(i);
    }
    Label2->setText(lines.line(16, Label2->text()));
}
