// The main window's first start: the windows laid out on the screen the program
// starts on, instead of all at its top-left corner.
#include "app/TForm1.h"

#include "ui/FirstLayout.h"
#include "ui/Placement.h"

#include <QGuiApplication>
#include <QScreen>

void TForm1::arrangeFirstStart()
{
    if (!firstStart_)
        return;
    firstStart_ = false;
    if (!placement::positionsKnown())
        return; // the desktop places the windows (native Wayland)
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return;
    // Those used while playing are offered a place first, the big occasional ones last.
    const WindowId order[] = {WindowId::Playlist, WindowId::Visualisation, WindowId::Video, WindowId::Volume,
                              WindowId::Radio, WindowId::Converter, WindowId::Settings};
    QList<WindowId> ids;
    QList<first_layout::Window> wanted;
    for (WindowId id : order) {
        auto it = windows_.find(id);
        if (it == windows_.end() || !it->window)
            continue;
        ids.append(id);
        wanted.append({it->window->frameGeometry().size(), it->window->isVisible()});
    }
    const QList<first_layout::Place> places =
        first_layout::arrange(where->availableGeometry(), frameGeometry().size(), wanted);
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
