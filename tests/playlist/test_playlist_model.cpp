// The play order: drag-reorder of several rows, deletes, display names.
#include "playlist/PlaylistModel.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
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

    PlaylistModel model;
    model.setPaths({dir.filePath(QStringLiteral("z.mp3")), QStringLiteral("/none/a.wav"),
                    dir.filePath(QStringLiteral("blank.mp3")), QStringLiteral("/none/gone.MP3")});
    QCOMPARE(model.displayName(0), QStringLiteral("Hymna"));
    QCOMPARE(model.displayName(1), QStringLiteral("a.wav"));
    QCOMPARE(model.displayName(2), QString());
    QCOMPARE(model.displayName(3), QStringLiteral("gone.MP3"));

    // A changed file is read again; an unchanged one comes from the cache.
    QVERIFY(song.open(QIODevice::WriteOnly | QIODevice::Truncate));
    titled.replace(3, 5, "Nova ");
    song.write(QByteArray(500, 'x') + titled);
    song.close();
    model.zobrazit();
    QCOMPARE(model.displayName(0), QStringLiteral("Nova"));
}

QTEST_GUILESS_MAIN(PlaylistModelTest)
#include "test_playlist_model.moc"
