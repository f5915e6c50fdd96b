#include "playlist/TForm4.h"

#include "common/PathRules.h"
#include "platform/CdTableReader.h"
#include "platform/CdTracks.h"
#include "playback/PlaybackController.h"
#include "playlist/PlaylistModel.h"
#include "playlist/PlaylistView.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "settings/Shortcuts.h"
#include "ui/BarPopupMenu.h"
#include "ui/Dialogs.h"
#include "ui/ImageList.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The language line that says a name could not be added.
constexpr int LineNameHasLineBreak = 88;
} // namespace

TForm4::TForm4(MainWindowLink &main, PlaylistModel &model, PlaybackController &controller,
               const QStringList &storedPlaylist, const QStringList &arguments)
    : ToolWindow(QStringLiteral("Form4"), QStringLiteral("Panel1"), true)
    , main_(main)
    , model_(model)
    , controller_(controller)
    , cdTables_(std::make_unique<CdTableReader>())
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(EdgeGrip, StripHeight, EdgeGrip, EdgeGrip);
    layout->setSpacing(0);
    ListBox3 = new PlaylistView(model_, this);
    layout->addWidget(ListBox3);
    ListBox3->filesDropped = [this](const QStringList &files) { DropTextTarget1Drop(files); };
    ListBox3->rowsDropped = [this](int target) { ListBox3DragDrop(target); };
    connect(ListBox3, &QAbstractItemView::doubleClicked, this, [this] { Prehrat1Click(); });
    connect(&model_, &PlaylistModel::countChanged, this, &TForm4::updateCountStrip);
    connect(&model_, &PlaylistModel::entryRefused, this, &TForm4::entryRefused);

    BcBarPopupMenu1 = new BarPopupMenu(this);
    BcBarPopupMenu1->setObjectName(QStringLiteral("BcBarPopupMenu1"));
    vymazat1 = BcBarPopupMenu1->addAction(QStringLiteral("vymazat"));
    vymazat1->setObjectName(QStringLiteral("vymazat1"));
    vymazat1->setShortcut(QKeySequence(Qt::Key_Delete));
    Prehrat1 = BcBarPopupMenu1->addAction(QStringLiteral("Prehrat"));
    Prehrat1->setObjectName(QStringLiteral("Prehrat1"));
    // Shortcuts act while the list has the keyboard focus.
    for (QAction *a : {vymazat1, Prehrat1}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        ListBox3->addAction(a);
    }
    connect(vymazat1, &QAction::triggered, this, &TForm4::vymazat1Click);
    connect(Prehrat1, &QAction::triggered, this, &TForm4::Prehrat1Click);
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
    ListBox3->setFont(main_.mainFont());
    MenuBarLook look = main_.popupBarLook();
    look.caption = main_.mainCaption();
    BcBarPopupMenu1->setLook(look);
    const IniFile ini(main_.settingsPath());
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI4"), *this, QSize(225, 175));
    if (visible)
        main_.performToggle(WindowId::Playlist);
    for (const QString &arg : arguments)
        model_.append(arg);

    const LineTable &lines = main_.languageLines();
    LineTable &keys = main_.shortcutLines();
    vymazat1->setText(lines.line(19, vymazat1->text()));
    vymazat1->setIcon(main_.images().icon(9));
    Prehrat1->setText(lines.line(6, Prehrat1->text()));
    Prehrat1->setIcon(main_.images().icon(1));
    if (keys.has(0))
        vymazat1->setShortcut(shortcutFromText(keys.line(0)));
    if (keys.has(1))
        Prehrat1->setShortcut(shortcutFromText(keys.line(1)));

    // The count strip follows the model's count from here on.
    model_.zobrazit();
    setWindowTitle(lines.line(18, QStringLiteral("Playlist")));
}

void TForm4::updateCountStrip()
{
    strip()->setText(QString::number(model_.count()));
}

void TForm4::entryRefused(const QString &path)
{
    if (refused_.isEmpty()) {
        QTimer::singleShot(0, this, [this] {
            QStringList names;
            for (QString name : std::as_const(refused_))
                names.append(name.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QLatin1Char('\n'), QStringLiteral("\\n")));
            refused_.clear();
            main_.dialogs().showMessage(this, main_.languageLines().line(LineNameHasLineBreak, QStringLiteral("The file name holds a line break:"))
                                                  + QLatin1Char('\n') + names.join(QLatin1Char('\n')));
        });
    }
    refused_.append(path);
}

void TForm4::DropTextTarget1Drop(const QStringList &files)
{
    QStringList images;
    for (const QString &file : files)
        if (!path_rules::isAcceptedForDrop(file) && cd_tracks::isCueImage(file))
            images.append(file);
    if (images.isEmpty()) {
        addDropped(files, {});
        return;
    }
    // A CD image's table is read off the GUI thread; the drop joins, in its order, when
    // the tables are known. One such drop at a time.
    const bool started = cdTables_->read(images, false, [this, files](const QList<CdTableReader::Table> &tables) {
        addDropped(files, tables);
    });
    if (!started)
        main_.dialogs().beep();
}

void TForm4::addDropped(const QStringList &files, const QList<CdTableReader::Table> &tables)
{
    qsizetype image = 0; // the tables come in the order of the images
    for (const QString &file : files) {
        if (path_rules::isAcceptedForDrop(file)) {
            model_.append(file);
        } else if (cd_tracks::isCueImage(file) && image < tables.size()) {
            // A CD image has no track files: its audio tracks join under their names.
            for (const cd_tracks::Track &track : tables.at(image++).tracks)
                model_.append(cd_tracks::trackPath(file, track.number));
        }
    }
    model_.zobrazit();
}

void TForm4::vymazat1Click()
{
    model_.removeSelected(ListBox3->selectionFlags());
}

void TForm4::Prehrat1Click()
{
    controller_.playRequested(ListBox3->focusedRow());
}

void TForm4::ListBox3DragDrop(int target)
{
    std::vector<bool> selected = ListBox3->selectionFlags();
    model_.moveSelected(selected, target);
    ListBox3->setSelectionFlags(selected);
}

void TForm4::contextMenuEvent(QContextMenuEvent *event)
{
    BcBarPopupMenu1->popup(event->globalPos());
    event->accept();
}

void TForm4::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI4"), *this, true);
}
