#include "video/TForm3.h"

#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/ImageList.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"
#include "video/VideoSurface.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace {
struct ButtonSpec {
    int number;
    int left;
    int image;
};
constexpr ButtonSpec buttons[] = {{1, 8, 3},   {2, 32, 11},  {8, 56, 15},  {3, 80, 5},
                                  {4, 104, 1}, {5, 128, 12}, {6, 152, 13}, {7, 176, 14}};
} // namespace

TForm3::TForm3(MainWindowLink &main, MediaGraph &graph)
    : ToolWindow(QStringLiteral("Form3"), QStringLiteral("Panel2"), true)
    , main_(main)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, StripHeight, 3, 3);
    layout->setSpacing(0);
    DSVideoWindowEx21 = new VideoSurface(graph, this);
    layout->addWidget(DSVideoWindowEx21, 1);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    layout->addWidget(Panel1);
    for (const ButtonSpec &b : buttons) {
        auto *button = new QToolButton(Panel1);
        button->setObjectName(QStringLiteral("SpeedButton%1").arg(b.number));
        button->setAutoRaise(true);
        button->setGeometry(b.left, 8, 23, 22);
        SpeedButton[b.number] = button;
    }
    // The colour controls and DVD navigation come with their own work; until then the
    // buttons cannot be pressed.
    for (int i = 1; i <= 8; ++i)
        SpeedButton[i]->setEnabled(false);
    FormCreate();
}

void TForm3::FormCreate()
{
    main_.registerWindow(WindowId::Video, this, this);
    setMinimumSize(300, 300);
    const IniFile ini(main_.settingsPath());
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI3"), *this, QSize(344, 307));
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
    setStripText(main_.languageLines().line(7, QStringLiteral("Video")));
    if (visible)
        main_.performToggle(WindowId::Video);
    for (const ButtonSpec &b : buttons)
        SpeedButton[b.number]->setIcon(main_.images().icon(b.image));
    setDvdButtonsVisible(false);
}

void TForm3::setDvdButtonsVisible(bool visible)
{
    for (int i = 2; i <= 8; ++i)
        SpeedButton[i]->setVisible(visible);
}

void TForm3::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI3"), *this, true);
}
