#include "visualisation/TForm9.h"

#include "playback/MediaGraph.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/BarPopupMenu.h"
#include "ui/ImageList.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QContextMenuEvent>
#include <QPainter>
#include <QVBoxLayout>

PaintArea::PaintArea(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintArea::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (paintHandler)
        paintHandler(p);
}

TForm9::TForm9(MainWindowLink &main, MediaGraph &graph, int volumePosition, bool updateFound,
               std::function<void()> playAction)
    : ToolWindow(QStringLiteral("Form9"), QStringLiteral("Panel1"), true)
    , main_(main)
    , graph_(graph)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, StripHeight, 3, 3);
    PaintBox1 = new PaintArea(this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->paintHandler = [this](QPainter &p) { p.drawImage(0, 0, picture_); };
    layout->addWidget(PaintBox1);

    BcBarPopupMenu1 = new BarPopupMenu(this);
    BcBarPopupMenu1->setObjectName(QStringLiteral("BcBarPopupMenu1"));
    None1 = BcBarPopupMenu1->addAction(QStringLiteral("None"));
    None1->setObjectName(QStringLiteral("None1"));
    WaveForm1 = BcBarPopupMenu1->addAction(QStringLiteral("WaveForm"));
    WaveForm1->setObjectName(QStringLiteral("WaveForm1"));
    for (QAction *a : {None1, WaveForm1})
        a->setCheckable(true);
    connect(None1, &QAction::triggered, this, [this] { None1Click(0); });
    connect(WaveForm1, &QAction::triggered, this, [this] { None1Click(1); });
    connect(BcBarPopupMenu1, &QMenu::aboutToShow, this, &TForm9::BcBarPopupMenu1Popup);

    FormCreate(volumePosition, updateFound, playAction);
}

TForm9::~TForm9() = default;

void TForm9::FormCreate(int volumePosition, bool updateFound, const std::function<void()> &playAction)
{
    main_.registerWindow(WindowId::Visualisation, this, this);
    BcBarPopupMenu1->setLook(main_.popupBarLook());
    None1->setIcon(main_.images().icon(24));
    WaveForm1->setIcon(main_.images().icon(24));
    setMinimumSize(100, 100);
    picture_ = QImage(PaintBox1->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    graph_.setVolume(volumePosition);
    const IniFile ini(main_.settingsPath());
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI9"), *this, QSize(100, 100));
    if (visible)
        main_.performToggle(WindowId::Visualisation);
    setStripText(main_.languageLines().line(76, QStringLiteral("Vizualizace")));
    None1Click(1);
    if (!updateFound && playAction)
        playAction();
}

void TForm9::None1Click(int tag)
{
    visualMode_ = tag;
    clearPicture();
}

void TForm9::clearPicture()
{
    picture_.fill(Qt::black);
    PaintBox1->update();
}

void TForm9::BcBarPopupMenu1Popup()
{
    None1->setChecked(visualMode_ == 0);
    WaveForm1->setChecked(visualMode_ == 1);
}

void TForm9::resizeEvent(QResizeEvent *event)
{
    ToolWindow::resizeEvent(event);
}

void TForm9::contextMenuEvent(QContextMenuEvent *event)
{
    BcBarPopupMenu1->popup(event->globalPos());
    event->accept();
}

void TForm9::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI9"), *this, true);
}
