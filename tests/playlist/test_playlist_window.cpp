// The playlist window as the user drives it: drops (a CD image's table read off the
// GUI thread), delete key, double click, drag reorder, row colours, and the main
// window's transport on a recording media graph.
#include "app/Startup.h"
#include "app/TForm1.h"
#include "playback/PlaybackController.h"
#include "playlist/PlaylistModel.h"
#include "playlist/PlaylistView.h"
#include "playlist/TForm4.h"
#include "support/FakeMediaGraph.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/StalledFifo.h"
#include "ui/ClickDragBar.h"
#include "video/TForm3.h"

#include <QAction>
#include <QLabel>
#include <QMimeData>
#include <QSlider>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

struct App {
    ProgramDirFixture dir;
    ScriptedDialogs dialogs;
    FakeMediaGraph graph;
    std::unique_ptr<Startup> startup;

    explicit App(const QStringList &args = {})
    {
        startup = std::make_unique<Startup>(dir.path(), args, dialogs, graph);
        QCoreApplication::processEvents(); // the play action of the last window
    }
    TForm4 &list() { return *startup->form4(); }
    TForm1 &main() { return *startup->form1(); }
    PlaylistModel &model() { return startup->playlist(); }
    QStringList paths() { return model().paths(); }
    void select(std::initializer_list<int> rows, int current)
    {
        std::vector<bool> f(static_cast<size_t>(model().count()), false);
        for (int r : rows)
            f[static_cast<size_t>(r)] = true;
        list().ListBox3->setSelectionFlags(f);
        list().ListBox3->selectionModel()->setCurrentIndex(model().index(current), QItemSelectionModel::NoUpdate);
    }
};

QImage rowImage(App &app, int row)
{
    PlaylistView *view = app.list().ListBox3;
    const QRect r = view->visualRect(app.model().index(row));
    return view->viewport()->grab(r).toImage();
}

} // namespace

class PlaylistWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { ClickDragBar::setSliderDragging(false); }
    void startPlaysFirstEntry();
    void emptyStartAsksForFiles();
    void dropFiltersByExtension();
    void cueDropWaitsForItsTable();
    void dropOfUrisThroughTheView();
    void deleteKeyRemovesSelectedRows();
    void doubleClickPlaysFocusedRow();
    void dragReordersSelectedRows();
    void mouseDragMovesRows();
    void rowColours();
    void rowTextReadable_data();
    void rowTextReadable();
    void transportButtons();
    void volumeSliderPixels();
    void seekBarReleaseSeeks();
    void seekBarClickJumpsThere();
    void seekBarRepaintsOnlyWhenTheHandleMoves();
    void timeLabelClickToggles();
    void videoExtensionShowsVideoWindow();
};

void PlaylistWindowTest::startPlaysFirstEntry()
{
    App app({"/m/one.wav", "/m/two.mp3", "/m/three.ogg"});
    QCOMPARE(app.graph.renderedPaths(), QStringList{"/m/one.wav"});
    QCOMPARE(app.model().playingIndex(), 0);
    QCOMPARE(app.main().Label2->text(), app.main().languageLines().line(14));
    QCOMPARE(app.main().Label3->text(), QStringLiteral("one.wav"));
}

void PlaylistWindowTest::emptyStartAsksForFiles()
{
    App app;
    QCOMPARE(app.dialogs.openFilters.size(), 1);
    QCOMPARE(app.dialogs.openFilters.first(),
             app.main().languageLines().line(6) + QLatin1Char('|') + app.main().extensionLines().line(1));
    // Cancelled: idle with the stopped text.
    QCOMPARE(app.main().Label2->text(), app.main().languageLines().line(16));
    QVERIFY(app.graph.renderedPaths().isEmpty());
}

void PlaylistWindowTest::dropFiltersByExtension()
{
    App app({"/m/first.wav"});
    // A CD image adds its audio tracks under their names.
    QTemporaryDir dir;
    const QString cue = dir.filePath(QStringLiteral("disc.cue"));
    QFile bin(dir.filePath(QStringLiteral("disc.bin")));
    QVERIFY(bin.open(QIODevice::WriteOnly) && bin.write(QByteArray(400 * 2352, '\0')) > 0);
    bin.close();
    QFile sheet(cue);
    QVERIFY(sheet.open(QIODevice::WriteOnly));
    sheet.write("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                "  TRACK 02 AUDIO\n    INDEX 01 00:03:00\n");
    sheet.close();
    app.list().DropTextTarget1Drop({"/x/notes.txt", "/x/song.Mp3", "/x/folder", "/x/clip.vob", cue});
    QTRY_COMPARE_WITH_TIMEOUT(app.paths(),
                              (QStringList{"/m/first.wav", "/x/song.Mp3", "/x/clip.vob", cue + "/Track01.cda",
                                           cue + "/Track02.cda"}),
                              20000);
    QCOMPARE(app.list().strip()->text(), QStringLiteral("5"));
}

void PlaylistWindowTest::cueDropWaitsForItsTable()
{
    App app({"/m/first.wav"});
    // The cue sheet does not answer (a FIFO nobody writes to yet): its table is read
    // on a worker, and the window goes on.
    QTemporaryDir dir;
    const StalledFifo sheet(dir.filePath(QStringLiteral("disc.cue")));
    QVERIFY(sheet.isValid());
    QFile bin(dir.filePath(QStringLiteral("disc.bin")));
    QVERIFY(bin.open(QIODevice::WriteOnly) && bin.write(QByteArray(400 * 2352, '\0')) > 0);
    bin.close();
    const QString cue = sheet.path();
    app.list().DropTextTarget1Drop({"/x/a.mp3", cue, "/x/b.flac"});
    QCOMPARE(app.paths(), QStringList{"/m/first.wav"});
    // A drop without an image joins at once; another image while one is read is refused.
    app.list().DropTextTarget1Drop({"/x/c.ogg"});
    QCOMPARE(app.paths(), (QStringList{"/m/first.wav", "/x/c.ogg"}));
    app.list().DropTextTarget1Drop({dir.filePath(QStringLiteral("other.cue"))});
    QCOMPARE(app.dialogs.beeps, 1);
    QCOMPARE(app.list().strip()->text(), QStringLiteral("2"));

    // The sheet answers (libcdio opens it more than once): the first drop joins in its order.
    const QStringList joined{"/m/first.wav", "/x/c.ogg", "/x/a.mp3", cue + "/Track01.cda", cue + "/Track02.cda",
                             "/x/b.flac"};
    QTRY_VERIFY_WITH_TIMEOUT((sheet.serveOnce("FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                              "  TRACK 02 AUDIO\n    INDEX 01 00:03:00\n"),
                              app.paths() == joined),
                             20000);
    QCOMPARE(app.list().strip()->text(), QStringLiteral("6"));
    // The next image is taken again.
    const QString other = dir.filePath(QStringLiteral("other.cue"));
    QFile otherSheet(other);
    QVERIFY(otherSheet.open(QIODevice::WriteOnly));
    otherSheet.write("FILE \"other.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    otherSheet.close();
    QVERIFY(QFile::copy(bin.fileName(), dir.filePath(QStringLiteral("other.bin"))));
    app.list().DropTextTarget1Drop({other});
    QTRY_COMPARE_WITH_TIMEOUT(app.paths().size(), 7, 20000);
    QCOMPARE(app.paths().last(), other + "/Track01.cda");
    QCOMPARE(app.dialogs.beeps, 1);
}

void PlaylistWindowTest::dropOfUrisThroughTheView()
{
    App app({"/m/first.wav"});
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/x/a b.flac")), QUrl(QStringLiteral("http://host/x.mp3")),
                  QUrl::fromLocalFile(QStringLiteral("/x/c.doc"))});
    PlaylistView *view = app.list().ListBox3;
    const QPoint at = view->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &drop);
    QCOMPARE(app.paths(), (QStringList{"/m/first.wav", "/x/a b.flac"}));
}

void PlaylistWindowTest::deleteKeyRemovesSelectedRows()
{
    App app({"/a.mp3", "/b.mp3", "/c.mp3", "/d.mp3"});
    app.list().show();
    app.list().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&app.list()));
    app.list().ListBox3->setFocus();
    app.select({0, 2}, 2);
    QTest::keyClick(app.list().ListBox3, Qt::Key_Delete);
    QCOMPARE(app.paths(), (QStringList{"/b.mp3", "/d.mp3"}));
    QCOMPARE(app.list().strip()->text(), QStringLiteral("2"));
    // The playing mark stays on index 0, now another entry.
    QCOMPARE(app.model().playingIndex(), 0);
}

void PlaylistWindowTest::doubleClickPlaysFocusedRow()
{
    App app({"/a.mp3", "/b.mp3", "/c.mp3"});
    app.graph.clearCalls();
    app.list().show();
    app.list().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&app.list()));
    PlaylistView *view = app.list().ListBox3;
    const QPoint p = view->visualRect(app.model().index(2)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, p);
    QCOMPARE(app.graph.renderedPaths(), QStringList{"/c.mp3"});
    QCOMPARE(app.model().playingIndex(), 2);
    QCOMPARE(app.startup->controller().StepMode(), 0);
    // The play shortcut does the same with the focused row.
    app.select({}, 1);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(app.graph.renderedPaths(), (QStringList{"/c.mp3", "/b.mp3"}));
}

void PlaylistWindowTest::dragReordersSelectedRows()
{
    App app({"/0", "/1", "/2", "/3", "/4", "/5"});
    app.select({3, 4, 5}, 5);
    app.list().ListBox3DragDrop(1);
    QCOMPARE(app.paths(), (QStringList{"/0", "/3", "/4", "/5", "/1", "/2"}));
    QCOMPARE(app.model().displayName(1), QStringLiteral("3"));
    QVERIFY(app.list().ListBox3->selectionModel()->selectedIndexes().isEmpty());
    app.select({0, 1}, 1);
    app.list().ListBox3DragDrop(-1);
    QCOMPARE(app.paths(), (QStringList{"/4", "/5", "/1", "/2", "/3", "/0"}));
}

void PlaylistWindowTest::mouseDragMovesRows()
{
    App app({"/0", "/1", "/2", "/3", "/4", "/5"});
    app.list().show();
    app.list().resize(300, 300); // room below the last row
    app.list().activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&app.list()));
    PlaylistView *view = app.list().ListBox3;
    QWidget *port = view->viewport();
    const auto rowAt = [&](int row) { return view->visualRect(app.model().index(row)).center(); };

    // One row up: press on a row, move the pointer onto the row above, release.
    QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, rowAt(3));
    QTest::mouseMove(port, rowAt(2));
    QVERIFY(view->rowDragActive());
    QCOMPARE(view->dropTarget(), 2);
    // The mark is drawn where the row will land: above row 2.
    QCOMPARE(view->dropIndicatorLine().y1(), view->visualRect(app.model().index(2)).top());
    QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, rowAt(2));
    QVERIFY(!view->rowDragActive());
    QCOMPARE(app.paths(), (QStringList{"/0", "/1", "/3", "/2", "/4", "/5"}));
    QCOMPARE(app.model().displayName(2), QStringLiteral("3"));

    // Three selected rows three rows down: a press on a selected row keeps the selection.
    QTest::mouseClick(port, Qt::LeftButton, Qt::NoModifier, rowAt(0));
    QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, rowAt(2));
    QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, rowAt(1));
    QCOMPARE(view->selectionFlags(), (std::vector<bool>{true, true, true, false, false, false}));
    QTest::mouseMove(port, rowAt(1) + QPoint(0, 20));
    QTest::mouseMove(port, rowAt(4));
    QCOMPARE(view->selectionFlags(), (std::vector<bool>{true, true, true, false, false, false}));
    QCOMPARE(view->dropIndicatorLine().y1(), view->visualRect(app.model().index(4)).bottom() + 1);
    QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, rowAt(4));
    // Moved downwards they arrive in reverse order.
    QCOMPARE(app.paths(), (QStringList{"/2", "/4", "/3", "/1", "/0", "/5"}));

    // Below the last row: to the end.
    QTest::mouseClick(port, Qt::LeftButton, Qt::NoModifier, rowAt(1));
    const QPoint below(rowAt(5).x(), view->visualRect(app.model().index(5)).bottom() + 40);
    QVERIFY(below.y() < port->height());
    QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, rowAt(1));
    QTest::mouseMove(port, below);
    QCOMPARE(view->dropTarget(), -1);
    QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, below);
    QCOMPARE(app.paths(), (QStringList{"/2", "/3", "/1", "/0", "/5", "/4"}));

    // A click on one row of a selection, without moving, selects that row alone.
    QTest::mouseClick(port, Qt::LeftButton, Qt::NoModifier, rowAt(0));
    QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, rowAt(3));
    QTest::mouseClick(port, Qt::LeftButton, Qt::NoModifier, rowAt(2));
    QCOMPARE(view->selectionFlags(), (std::vector<bool>{false, false, true, false, false, false}));
    QCOMPARE(app.paths(), (QStringList{"/2", "/3", "/1", "/0", "/5", "/4"}));
}

void PlaylistWindowTest::rowColours()
{
    QCOMPARE(PlaylistRowDelegate::background(true, true, Qt::white), QColor(255, 255, 0));
    QCOMPARE(PlaylistRowDelegate::background(true, false, Qt::white), QColor(255, 0, 0));
    QCOMPARE(PlaylistRowDelegate::background(false, true, Qt::white), QColor(192, 192, 192));
    QCOMPARE(PlaylistRowDelegate::background(false, false, Qt::white), QColor(Qt::white));

    App app({"/a.mp3", "/b.mp3", "/c.mp3"});
    app.list().show();
    app.list().resize(300, 300);
    QCOMPARE(app.model().playingIndex(), 0);
    app.select({0, 2}, 2);
    QCOMPARE(rowImage(app, 0).pixelColor(rowImage(app, 0).width() - 3, 1), QColor(255, 255, 0));
    QCOMPARE(rowImage(app, 2).pixelColor(rowImage(app, 2).width() - 3, 1), QColor(192, 192, 192));
    app.select({1}, 1);
    QCOMPARE(rowImage(app, 0).pixelColor(rowImage(app, 0).width() - 3, 1), QColor(255, 0, 0));
}

void PlaylistWindowTest::rowTextReadable_data()
{
    QTest::addColumn<bool>("playing");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("text"); // the theme's colour for the row's text
    QTest::addColumn<QColor>("base");
    QTest::newRow("playing, selected, white text") << true << true << QColor(Qt::white) << QColor(Qt::white);
    QTest::newRow("selected, white text") << false << true << QColor(Qt::white) << QColor(Qt::white);
    QTest::newRow("playing, black text") << true << false << QColor(Qt::black) << QColor(Qt::white);
    QTest::newRow("playing, white text") << true << false << QColor(Qt::white) << QColor(Qt::white);
    QTest::newRow("plain, dark theme") << false << false << QColor(230, 230, 230) << QColor(30, 30, 30);
    QTest::newRow("plain, grey text on grey") << false << false << QColor(128, 128, 128) << QColor(140, 140, 140);
    QTest::newRow("playing, selected, yellow text") << true << true << QColor(255, 255, 0) << QColor(Qt::white);
}

void PlaylistWindowTest::rowTextReadable()
{
    QFETCH(bool, playing);
    QFETCH(bool, selected);
    QFETCH(QColor, text);
    QFETCH(QColor, base);
    const QColor fill = PlaylistRowDelegate::background(playing, selected, base);
    const QColor chosen = PlaylistRowDelegate::textColour(text, fill);
    QVERIFY2(PlaylistRowDelegate::contrast(chosen, fill) >= 4.5, qPrintable(chosen.name() + " on " + fill.name()));
    // A colour that already reads well is kept.
    if (PlaylistRowDelegate::contrast(text, fill) >= 4.5)
        QCOMPARE(chosen, text);

    // And on screen: the darkest or lightest text pixel of the row contrasts as much.
    App app({"/" + QString(40, QLatin1Char('W')), "/b.mp3"});
    app.list().show();
    app.list().resize(300, 300);
    QPalette pal = app.list().ListBox3->palette();
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::HighlightedText, text);
    pal.setColor(QPalette::Base, base);
    app.list().ListBox3->setPalette(pal);
    app.model().setPlayingIndex(playing ? 0 : 1);
    app.select(selected ? std::initializer_list<int>{0} : std::initializer_list<int>{}, 1);
    const QImage row = rowImage(app, 0);
    double best = 1;
    for (int y = 0; y < row.height() - 1; ++y)
        for (int x = 1; x < row.width() / 2; ++x)
            best = std::max(best, PlaylistRowDelegate::contrast(row.pixelColor(x, y), fill));
    QVERIFY2(best >= 4.5, qPrintable(QString::number(best)));
}

void PlaylistWindowTest::transportButtons()
{
    App app({"/a.mp3", "/b.mp3", "/c.mp3"});
    TForm1 &m = app.main();
    const QString playing = m.languageLines().line(14);
    const QString paused = m.languageLines().line(15);
    m.SpeedButton3->click();
    QCOMPARE(m.Label2->text(), paused);
    m.SpeedButton1->click(); // play while paused resumes
    QCOMPARE(m.Label2->text(), playing);
    QCOMPARE(app.graph.renderedPaths().size(), 1);
    m.SpeedButton1->click(); // play while playing does nothing
    QCOMPARE(app.graph.renderedPaths().size(), 1);
    m.SpeedButton2->click();
    m.SpeedButton2->click();
    m.SpeedButton2->click();
    QCOMPARE(app.graph.renderedPaths(), (QStringList{"/a.mp3", "/b.mp3", "/c.mp3", "/a.mp3"}));
    m.SpeedButton4->click();
    QCOMPARE(app.graph.renderedPaths().last(), QStringLiteral("/c.mp3"));
    app.dialogs.queueOpenFiles({"/new/x.wav", "/new/y.wav"});
    m.SpeedButton5->click();
    QCOMPARE(app.model().count(), 5);
    QCOMPARE(app.list().strip()->text(), QStringLiteral("5"));
}

void PlaylistWindowTest::volumeSliderPixels()
{
    App app({"/a.mp3"});
    ClickDragBar *bar = app.main().ProgressBar1;
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(0, 8));
    QCOMPARE(bar->value(), 0);
    QCOMPARE(app.graph.volume(), 0);
    QCOMPARE(MediaGraph::volumeToCentibels(app.graph.volume()), -10000);
    QTest::mouseMove(bar, QPoint(100, 8));
    QCOMPARE(bar->value(), 5000);
    QCOMPARE(app.graph.volume(), 5000);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, 8));
    QVERIFY(!ClickDragBar::sliderDragging());
}

void PlaylistWindowTest::seekBarReleaseSeeks()
{
    App app({"/a.mp3"});
    app.graph.setDuration(200000);
    app.graph.setPosition(50000);
    app.startup->controller().tick();
    QSlider *bar = app.main().DSTrackBar1;
    QCOMPARE(bar->maximum(), 2000);
    QCOMPARE(bar->value(), 500);
    bar->setSliderDown(true);
    app.graph.setPosition(60000);
    app.startup->controller().tick();
    QCOMPARE(bar->value(), 500); // held by the user
    bar->setValue(1500);
    app.graph.clearCalls();
    bar->setSliderDown(false);
    QCOMPARE(app.graph.calls(), QStringList{"seekMs(150000)"});
}

void PlaylistWindowTest::seekBarClickJumpsThere()
{
    App app({"/a.mp3"});
    app.graph.setDuration(200000);
    app.graph.setPosition(32000);
    app.startup->controller().tick();
    app.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&app.main()));
    SeekSlider *bar = app.main().DSTrackBar1;
    QCOMPARE(bar->value(), 320);
    app.graph.clearCalls();
    // A click three quarters along the groove, far from the handle.
    const QPoint at(bar->width() * 3 / 4, bar->height() / 2);
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, at);
    QVERIFY(bar->isSliderDown());
    QVERIFY2(qAbs(bar->value() - 1500) <= 60, qPrintable(QString::number(bar->value())));
    QVERIFY(bar->handleRect().contains(at));
    // Held while the button is down: playback does not pull it back.
    app.graph.setPosition(33000);
    app.startup->controller().tick();
    QVERIFY(qAbs(bar->value() - 1500) <= 60);
    QVERIFY(app.graph.calls().filter(QStringLiteral("seek")).isEmpty());
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, at);
    const QStringList seeks = app.graph.calls().filter(QStringLiteral("seek"));
    QCOMPARE(seeks, QStringList{QStringLiteral("seekMs(%1)").arg(bar->value() * 100)});
    QCoreApplication::processEvents(); // nothing else queued: one seek
    QCOMPARE(app.graph.calls().filter(QStringLiteral("seek")).size(), 1);
}

void PlaylistWindowTest::seekBarRepaintsOnlyWhenTheHandleMoves()
{
    App app({"/a.mp3"});
    app.graph.setDuration(600000); // ten minutes: 6000 tenths on a bar about 200 pixels wide
    app.graph.setPosition(0);
    app.startup->controller().tick();
    SeekSlider *bar = app.main().DSTrackBar1;
    QCOMPARE(bar->maximum(), 6000);
    bar->grab(); // painted once, as on screen
    const QRect handle = bar->handleRect();
    const int repaints = bar->valueRepaints();
    // A tenth of a second at a time: the handle stays on its pixel for a while.
    app.graph.setPosition(100);
    app.startup->controller().tick();
    QCOMPARE(bar->value(), 1);
    QCOMPARE(bar->handleRect(), handle);
    QCOMPARE(bar->valueRepaints(), repaints); // unchanged on screen: not repainted
    // Far enough on, the handle moves and the bar is repainted.
    app.graph.setPosition(300000);
    app.startup->controller().tick();
    QCOMPARE(bar->value(), 3000);
    QVERIFY(bar->handleRect() != handle);
    QCOMPARE(bar->valueRepaints(), repaints + 1);
}

void PlaylistWindowTest::timeLabelClickToggles()
{
    App app({"/a.mp3"});
    app.graph.setDuration(3725000 + 5000);
    app.graph.setPosition(5000);
    app.startup->controller().tick();
    QCOMPARE(app.main().Label1->text(), QStringLiteral("0:00:05"));
    QTest::mouseClick(app.main().Label1, Qt::LeftButton);
    app.startup->controller().tick();
    QCOMPARE(app.main().Label1->text(), QStringLiteral("1:02:05"));
    QVERIFY(!app.main().showElapsed());
}

void PlaylistWindowTest::videoExtensionShowsVideoWindow()
{
    App app({"/a.mkv", "/b.WMV"});
    QWidget *video = app.startup->form3();
    app.main().menuItem(QStringLiteral("Okno1"))->trigger();
    QVERIFY(!video->isVisible());
    app.main().SpeedButton4->click(); // previous: the .WMV
    QVERIFY(video->isVisible());
    // The check mark is left as it was.
    QVERIFY(!app.main().menuItem(QStringLiteral("Okno1"))->isChecked());
    app.main().menuItem(QStringLiteral("Okno1"))->trigger();
    QVERIFY(!video->isVisible());
    app.main().SpeedButton4->click(); // the .mkv
    QVERIFY(!video->isVisible());
}

QTEST_MAIN(PlaylistWindowTest)
#include "test_playlist_window.moc"
