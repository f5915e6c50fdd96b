// The play order: drag-reorder of several rows, deletes, display names, and tag
// titles that arrive from the title worker while the rows already show.
#include "playlist/PlaylistModel.h"
#include "playlist/TitleCache.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWaitMs = 20000;

// The name a rebuild from the paths shows once every title is known.
QString settledName(const QString &path)
{
    return PlaylistModel::displayNameFor(path, TitleCache::readTag(path));
}

bool allSettled(const PlaylistModel &model, int rows)
{
    for (int i = 0; i < rows; ++i)
        if (model.displayName(i) != settledName(model.path(i)))
            return false;
    return true;
}

QStringList letters(int n)
{
    QStringList l;
    for (int i = 0; i < n; ++i)
        l.append(QString(QChar('a' + i)));
    return l;
}
std::vector<bool> flags(int n, std::initializer_list<int> on)
{
    std::vector<bool> f(static_cast<size_t>(n), false);
    for (int i : on)
        f[static_cast<size_t>(i)] = true;
    return f;
}
} // namespace

class PlaylistModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reorder_data();
    void reorder();
    void deleteKeepsPlayingIndex();
    void displayNamesFollowPathOrder();
    void namesMadeLateMatchTheirPaths_data();
    void namesMadeLateMatchTheirPaths();
    void rowsAnswerWhileATagReadHangs();
};

void PlaylistModelTest::reorder_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("stillSelected");
    // Onto a row above: the rows arrive in their old order.
    QTest::newRow("three up") << QList<int>{5, 6, 7} << 2 << "abfghcdeij" << 0;
    // Below the last row: to the end, in reverse order.
    QTest::newRow("three to end") << QList<int>{1, 2, 3} << -1 << "aefghijdcb" << 0;
    // Onto a row below: reverse order, ending at the target.
    QTest::newRow("two down") << QList<int>{1, 2} << 5 << "adefcbghij" << 0;
    // The first move pushes the selected target row down; it is then moved back.
    QTest::newRow("target selected") << QList<int>{2, 4} << 2 << "abcedfghij" << 0;
    QTest::newRow("target selected below") << QList<int>{1, 4} << 4 << "acdebfghij" << 1;
    QTest::newRow("scattered up") << QList<int>{3, 8} << 0 << "diabcefghj" << 0;
    QTest::newRow("last to end") << QList<int>{9} << -1 << "abcdefghij" << 0;
}

void PlaylistModelTest::reorder()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, target);
    QFETCH(QString, expected);
    QFETCH(int, stillSelected);
    PlaylistModel model;
    model.setPaths(letters(10));
    model.setPlayingIndex(3);
    std::vector<bool> sel(10, false);
    for (int i : selected)
        sel[static_cast<size_t>(i)] = true;
    model.moveSelected(sel, target);
    QCOMPARE(model.paths().join(QString()), expected);
    // Both lists received the same moves.
    QStringList shown;
    for (int i = 0; i < model.count(); ++i)
        shown.append(model.displayName(i));
    QCOMPARE(shown, model.paths());
    QCOMPARE(model.playingIndex(), 3);
    // Moved rows lose their selection; a row left on the target keeps it.
    QCOMPARE(int(std::count(sel.begin(), sel.end(), true)), stillSelected);
}

void PlaylistModelTest::deleteKeepsPlayingIndex()
{
    PlaylistModel model;
    model.setPaths(letters(5));
    model.setPlayingIndex(2);
    model.removeSelected(flags(5, {1, 2}));
    QCOMPARE(model.paths(), (QStringList{"a", "d", "e"}));
    // The mark stays on index 2, now another entry.
    QCOMPARE(model.playingIndex(), 2);
    model.removeSelected(flags(3, {1, 2}));
    QCOMPARE(model.count(), 1);
    QCOMPARE(model.rowCount(), 1);
}

void PlaylistModelTest::displayNamesFollowPathOrder()
{
    QTemporaryDir dir;
    // An MP3 whose ID3v1 title is blank shows an empty row; one without a tag its name.
    QByteArray trailer(128, '\0');
    trailer.replace(0, 3, "TAG");
    trailer.replace(3, 30, QByteArray(30, ' '));
    QFile blank(dir.filePath(QStringLiteral("blank.mp3")));
    QVERIFY(blank.open(QIODevice::WriteOnly));
    blank.write(QByteArray(400, 'x') + trailer);
    blank.close();
    QByteArray titled = trailer;
    titled.replace(3, 5, "Hymna");
    QFile song(dir.filePath(QStringLiteral("z.mp3")));
    QVERIFY(song.open(QIODevice::WriteOnly));
    song.write(QByteArray(400, 'x') + titled);
    song.close();

    TitleCache titles;
    PlaylistModel model;
    model.setTitleSource(&titles);
    model.setPaths({dir.filePath(QStringLiteral("z.mp3")), QStringLiteral("/none/a.wav"),
                    dir.filePath(QStringLiteral("blank.mp3")), QStringLiteral("/none/gone.MP3")});
    QTRY_COMPARE_WITH_TIMEOUT(model.displayName(0), QStringLiteral("Hymna"), kWaitMs);
    QCOMPARE(model.displayName(1), QStringLiteral("a.wav"));
    QTRY_COMPARE_WITH_TIMEOUT(model.displayName(2), QString(), kWaitMs);
    QCOMPARE(model.displayName(3), QStringLiteral("gone.MP3"));

    // A changed file is read again: the row shows the new title once it is known.
    QVERIFY(song.open(QIODevice::WriteOnly | QIODevice::Truncate));
    titled.replace(3, 5, "Nova ");
    song.write(QByteArray(500, 'x') + titled);
    song.close();
    model.zobrazit();
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.displayName(0);
    QTRY_COMPARE_WITH_TIMEOUT(model.displayName(0), QStringLiteral("Nova"), kWaitMs);
    // Told by a change of that row alone (other rows' answers may come in too).
    QVERIFY(std::any_of(changed.cbegin(), changed.cend(), [](const QList<QVariant> &signal) {
        return signal.at(0).toModelIndex().row() == 0 && signal.at(1).toModelIndex().row() == 0;
    }));
}

void PlaylistModelTest::namesMadeLateMatchTheirPaths_data()
{
    // Steps: "ask R,R" asks rows for their names first; "move F T"; "drag R,R>T" moves
    // selected rows onto T (-1: to the end); "delete R,R"; "remove R"; "append" adds a
    // tagged MP3 without rebuilding; "rebuild" is zobrazit.
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("moves of asked and unasked rows")
        << QStringList{"ask 0,2,5", "move 5 1", "move 0 7", "move 3 -1", "ask 4"};
    QTest::newRow("drag several")
        << QStringList{"ask 1,2,6,7", "drag 1,2,7>4", "drag 0,6>-1", "ask 0,1,2,3"};
    QTest::newRow("deletes") << QStringList{"ask 0,3,4,7", "delete 0,4", "remove 2", "ask 1", "delete 5"};
    QTest::newRow("appends show after a rebuild")
        << QStringList{"ask 0,1", "append", "append", "move 1 3", "remove 9", "rebuild", "move 9 0", "ask 9"};
}

void PlaylistModelTest::namesMadeLateMatchTheirPaths()
{
    QFETCH(QStringList, steps);
    QTemporaryDir dir;
    // Tagged MP3s (each its own title), one without a tag, and other formats.
    auto tagged = [&dir](int n) {
        const QString path = dir.filePath(QStringLiteral("song%1.mp3").arg(n));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) {
            QByteArray trailer(128, '\0');
            trailer.replace(0, 3, "TAG");
            const QByteArray title = "Title " + QByteArray::number(n);
            trailer.replace(3, title.size(), title);
            f.write(QByteArray(200, 'x') + trailer);
        }
        return path;
    };
    QStringList paths;
    for (int i = 0; i < 10; ++i)
        paths.append(i % 4 == 3 ? QStringLiteral("/none/clip%1.ogg").arg(i) : tagged(i));
    QFile plain(dir.filePath(QStringLiteral("song5.mp3")));
    QVERIFY(plain.open(QIODevice::WriteOnly | QIODevice::Truncate));
    plain.write(QByteArray(300, 'y'));
    plain.close();

    TitleCache titles;
    PlaylistModel model;
    model.setTitleSource(&titles);
    model.setPaths(paths);
    int shown = model.count();
    int appended = 100;
    auto rows = [](const QString &list) {
        std::vector<int> r;
        for (const QString &n : list.split(QLatin1Char(',')))
            r.push_back(n.toInt());
        return r;
    };
    for (const QString &step : std::as_const(steps)) {
        const QStringList w = step.split(QLatin1Char(' '));
        if (w[0] == QLatin1String("ask")) {
            for (int r : rows(w[1]))
                model.displayName(r);
        } else if (w[0] == QLatin1String("move")) {
            model.move(w[1].toInt(), w[2].toInt());
        } else if (w[0] == QLatin1String("drag")) {
            const QStringList parts = w[1].split(QLatin1Char('>'));
            std::vector<bool> sel(static_cast<size_t>(model.count()), false);
            for (int r : rows(parts[0]))
                sel[static_cast<size_t>(r)] = true;
            model.moveSelected(sel, parts[1].toInt());
        } else if (w[0] == QLatin1String("delete")) {
            std::vector<bool> sel(static_cast<size_t>(model.count()), false);
            for (int r : rows(w[1]))
                sel[static_cast<size_t>(r)] = true;
            shown -= static_cast<int>(rows(w[1]).size());
            model.removeSelected(sel);
        } else if (w[0] == QLatin1String("remove")) {
            model.removeAt(w[1].toInt());
            --shown;
        } else if (w[0] == QLatin1String("append")) {
            model.append(tagged(appended++));
        } else if (w[0] == QLatin1String("rebuild")) {
            model.zobrazit();
            shown = model.count();
        }
        // Row i always shows path i, as a rebuild from the paths would show it, once the
        // titles asked for have arrived.
        QCOMPARE(model.rowCount(), shown);
        QTRY_VERIFY_WITH_TIMEOUT(allSettled(model, shown), kWaitMs);
        for (int i = 0; i < shown; ++i) {
            QCOMPARE(model.displayName(i), settledName(model.path(i)));
            QCOMPARE(model.data(model.index(i)).toString(), model.displayName(i));
        }
    }
}

void PlaylistModelTest::rowsAnswerWhileATagReadHangs()
{
    QTemporaryDir dir;
    auto tagged = [&dir](const QString &name, const QByteArray &title) {
        QByteArray trailer(128, '\0');
        trailer.replace(0, 3, "TAG");
        trailer.replace(3, title.size(), title);
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(200, 'x') + trailer);
        return dir.filePath(name);
    };
    const QString hung = tagged(QStringLiteral("hung.mp3"), "Pomala");
    const QString next = tagged(QStringLiteral("next.mp3"), "Dalsi");
    // The read of one file does not come back until the test lets it, as on a mount
    // whose server is gone. (The reader itself opens without waiting, so even a FIFO
    // does not hold it: the hang has to be made.)
    struct Gate {
        QSemaphore entered;
        QSemaphore open;
    };
    auto gate = std::make_shared<Gate>();
    TitleCache titles([gate, hung](const QString &path) {
        if (path == hung) {
            gate->entered.release();
            gate->open.acquire();
        }
        return TitleCache::readTag(path);
    });
    PlaylistModel model;
    model.setTitleSource(&titles);
    model.setPaths({hung, QStringLiteral("/none/clip.ogg"), next});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    // Every row answers at once: the file name while the title is not known.
    QCOMPARE(model.displayName(0), QStringLiteral("hung.mp3"));
    QVERIFY(gate->entered.tryAcquire(1, kWaitMs));
    QCOMPARE(model.displayName(0), QStringLiteral("hung.mp3"));
    QCOMPARE(model.displayName(1), QStringLiteral("clip.ogg"));
    QCOMPARE(model.displayName(2), QStringLiteral("next.mp3"));
    model.move(2, 0);
    model.setPlayingIndex(1);
    QCOMPARE(model.data(model.index(1)).toString(), QStringLiteral("hung.mp3"));
    QCOMPARE(model.paths(), (QStringList{next, hung, QStringLiteral("/none/clip.ogg")}));
    // The event loop runs meanwhile.
    bool ran = false;
    QTimer::singleShot(0, &model, [&ran] { ran = true; });
    QTRY_VERIFY(ran);
    QCOMPARE(model.displayName(1), QStringLiteral("hung.mp3"));

    // The read comes back: the rows that moved meanwhile change, each by itself.
    changed.clear();
    gate->open.release();
    QTRY_COMPARE_WITH_TIMEOUT(model.displayName(1), QStringLiteral("Pomala"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(model.displayName(0), QStringLiteral("Dalsi"), kWaitMs);
    QList<int> rows;
    for (const QList<QVariant> &signal : std::as_const(changed)) {
        QCOMPARE(signal.at(0).toModelIndex().row(), signal.at(1).toModelIndex().row());
        rows.append(signal.at(0).toModelIndex().row());
    }
    std::sort(rows.begin(), rows.end());
    QCOMPARE(rows, (QList<int>{0, 1}));
}

QTEST_GUILESS_MAIN(PlaylistModelTest)
#include "test_playlist_model.moc"
