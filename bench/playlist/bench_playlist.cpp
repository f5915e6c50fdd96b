// Big playlists: load a stored list of 100,000 entries, build the display names, show
// and paint the playlist window, then wait for the painted rows' tag titles (read on
// the title worker); then once more with the tag cache warm.
// Prints the times; the goal is well under a second for load and draw together.
//   QT_QPA_PLATFORM=offscreen build/bench/playlist/bench_playlist [entries]
#include "playlist/PlaylistModel.h"
#include "playlist/PlaylistView.h"
#include "playlist/TitleCache.h"
#include "storage/ListStore.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void writeMp3(const QString &path, int n)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    QByteArray trailer(128, '\0');
    trailer.replace(0, 3, "TAG");
    const QByteArray title = QByteArray("Song number ") + QByteArray::number(n);
    trailer.replace(3, title.size(), title);
    f.write(QByteArray(256, 'x'));
    f.write(trailer);
}

double ms(QElapsedTimer &t)
{
    const double v = t.nsecsElapsed() / 1e6;
    t.restart();
    return v;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;

    // One entry in ten is a real MP3 with a tag; the rest are other formats or missing files.
    QStringList paths;
    paths.reserve(entries);
    for (int i = 0; i < entries; ++i) {
        if (i % 10 == 0) {
            const QString p = dir.filePath(QStringLiteral("song%1.mp3").arg(i));
            writeMp3(p, i);
            paths.append(p);
        } else {
            paths.append(QStringLiteral("/music/album %1/track %2.%3").arg(i / 12).arg(i).arg(i % 3 ? "ogg" : "flac"));
        }
    }
    const QString listPath = dir.filePath(QStringLiteral("playlist.st3"));
    QElapsedTimer t;
    t.start();
    QString error;
    ListStore::saveList(listPath, paths, &error);
    const double save = ms(t);

    TitleCache titles;
    for (int round = 0; round < 2; ++round) {
        PlaylistModel model;
        model.setTitleSource(&titles);
        PlaylistView view(model, nullptr);
        view.resize(300, 600);
        t.restart();
        const ListStore::LoadResult loaded = ListStore::loadList(listPath, false);
        const double load = ms(t);
        for (const QString &p : loaded.entries)
            model.append(p);
        model.zobrazit();
        const double names = ms(t);
        view.show();
        view.scrollTo(model.index(entries / 2));
        const QImage shot = view.grab().toImage();
        const double draw = ms(t);
        // The rows on screen (once the batched layout has placed them) show their MP3s'
        // titles when the worker has read them; the view asks for them as it repaints.
        int top = -1;
        int bottom = -1;
        auto titled = [&] {
            top = view.indexAt(QPoint(1, 1)).row();
            bottom = view.indexAt(QPoint(1, view.viewport()->height() - 2)).row();
            if (top < 0 || bottom < 0)
                return false;
            for (int row = top; row <= bottom; ++row)
                if (model.path(row).endsWith(QLatin1String(".mp3"))
                    && !view.model()->index(row, 0).data().toString().startsWith(QLatin1String("Song")))
                    return false;
            return true;
        };
        const QDeadlineTimer deadline(10000);
        while (!titled() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double tags = ms(t);
        std::printf("%s: %d entries  load %.1f ms  names %.1f ms  show+paint %.1f ms  total %.1f ms"
                    "  (titles of rows %d-%d in %.1f ms more%s)\n",
                    round == 0 ? "first run " : "second run", model.count(), load, names, draw,
                    load + names + draw, top, bottom, tags, titled() ? "" : ", NOT ALL");
        if (shot.isNull())
            return 1;
    }
    std::printf("save of %d entries: %.1f ms\n", entries, save);
    return 0;
}
