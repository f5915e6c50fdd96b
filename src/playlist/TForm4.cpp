#include "playlist/TForm4.h"

#include "playlist/PlaylistModel.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QListView>
#include <QVBoxLayout>

TForm4::TForm4(MainWindowLink &main, PlaylistModel &model, const QStringList &storedPlaylist,
               const QStringList &arguments)
    : ToolWindow(QStringLiteral("Form4"), QStringLiteral("Panel1"), true)
    , main_(main)
    , model_(model)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, StripHeight, 3, 3);
    layout->setSpacing(0);
    ListBox3 = new QListView(this);
    ListBox3->setObjectName(QStringLiteral("ListBox3"));
    ListBox3->setUniformItemSizes(true);
    ListBox3->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox3->setModel(&model_);
    layout->addWidget(ListBox3);
    connect(&model_, &PlaylistModel::countChanged, this, &TForm4::updateCountStrip);
    FormCreate(storedPlaylist, arguments);
}

void TForm4::FormCreate(const QStringList &storedPlaylist, const QStringList &arguments)
{
    main_.registerWindow(WindowId::Playlist, this, this);
    model_.setPlayingIndex(0);
    setMinimumSize(MainWidth, 200);
    for (const QString &path : storedPlaylist)
        model_.append(path);
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
    const IniFile ini(main_.settingsPath());
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI4"), *this, QSize(225, 175));
    if (visible)
        main_.performToggle(WindowId::Playlist);
    for (const QString &arg : arguments)
        model_.append(arg);
    model_.zobrazit();
    updateCountStrip();
    setWindowTitle(main_.languageLines().line(18, QStringLiteral("Playlist")));
}

void TForm4::updateCountStrip()
{
    strip()->setText(QString::number(model_.count()));
}

void TForm4::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI4"), *this, true);
}
