// The windows that have no stored place yet (a first start) are laid out on the
// screen the program starts on, around those that have one, instead of all at its
// top-left corner.
#include "app/TForm1.h"

#include "settings/IniFile.h"
#include "ui/FirstLayout.h"
#include "ui/Placement.h"

#include <QGuiApplication>
#include <QScreen>

#include <limits>

void TForm1::arrangeFirstStart()
{
    if (!placement::positionsKnown())
        return; // the desktop places the windows (native Wayland)
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return;
    // Those used while playing are offered a place first, the big occasional ones last.
    const WindowId order[] = {WindowId::Playlist, WindowId::Visualisation, WindowId::Video, WindowId::Volume,
                              WindowId::Radio, WindowId::Converter, WindowId::Settings};
    const IniFile ini(settingsPath());
    const auto stored = [&ini](int number) {
        return ini.readInteger(QStringLiteral("NASTAVENI%1").arg(number), QStringLiteral("ZLeva"),
                               std::numeric_limits<int>::min())
            != std::numeric_limits<int>::min();
    };
    bool anyNew = !stored(1);
    QList<WindowId> ids;
    QList<first_layout::Window> wanted;
    for (WindowId id : order) {
        auto it = windows_.find(id);
        if (it == windows_.end() || !it->window)
            continue;
        ids.append(id);
        const bool has = stored(int(id));
        anyNew = anyNew || !has;
        wanted.append({it->window->frameGeometry().size(), it->window->isVisible(),
                       has ? std::optional<QPoint>(it->window->pos()) : std::nullopt});
    }
    if (!anyNew)
        return; // every window has its place: the usual start
    const first_layout::Window main{frameGeometry().size(), true,
                                    stored(1) ? std::optional<QPoint>(pos()) : std::nullopt};
    const QList<first_layout::Place> places = first_layout::arrange(where->availableGeometry(), main, wanted);
    move(places.first().position);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        QWidget *w = windows_.value(ids.at(i)).window;
        const first_layout::Place &place = places.at(i + 1);
        w->move(place.position);
        // One that does not fit waits hidden, its menu item unchecked, until opened.
        if (w->isVisible() && !place.shown)
            performToggle(ids.at(i));
    }
}
