// The nine windows as a person meets them: first start, toggles, restart, close path.
#include "app/Startup.h"
#include "app/TForm1.h"
#include "playlist/PlaylistModel.h"
#include "playlist/PlaylistView.h"
#include "playlist/TForm4.h"
#include "settings/IniFile.h"
#include "storage/ListStore.h"
#include "support/FakeMediaGraph.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "ui/ClickDragBar.h"
#include "video/TForm3.h"
#include "visualisation/TForm9.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QScreen>
#include <QtTest>

#include <memory>

namespace {

struct Run {
    ScriptedDialogs dialogs;
    FakeMediaGraph graph;
    std::unique_ptr<Startup> startup;

    Run(const ProgramDirFixture &dir, const QStringList &args = {})
        : startup(std::make_unique<Startup>(dir.path(), args, dialogs, graph))
    {
    }
    TForm1 &main() { return *startup->form1(); }
    void close() { startup->form1()->close(); }
};

const char *toggleNames[] = {"Nastaveni1", "Okno1", "Playlist1", "Radio1", "Konvertor1", "Hlasitost1", "Vizualizace1"};
const char *formNames[] = {"Form2", "Form3", "Form4", "Form6", "Form7", "Form8", "Form9"};

QWidget *window(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name))
            return w;
    return nullptr;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartDefaults();
    void togglesFollowVisibility();
    void placementSurvivesRestart();
    void mainWindowSizeIsFixed();
    void fontColourFormsAreOneColour();
    void handOffFiltersByExtension();
    void handedNamesWithLineBreaksShareOneBox();
    void argumentsAppendedWithoutFilter();
    void closeWritesSectionsInOrder();
    void failedSettingsWriteStillStoresPlaylist();
    void damagedPlaylistIsKeptAndReported();
    void languageFilesChooseCaptions();
    void missingLanguageFileKeepsDesignCaptions();
    void titleMarquee();
};

void StartupTest::firstStartDefaults()
{
    ProgramDirFixture dir;
    Run run(dir);
    TForm1 &m = run.main();
    QCOMPARE(m.registeredOrder(),
             (QList<WindowId>{WindowId::Settings, WindowId::Video, WindowId::Playlist, WindowId::Radio,
                              WindowId::Converter, WindowId::Volume, WindowId::Visualisation}));
    QCOMPARE(m.pos(), QPoint(0, 0));
    QCOMPARE(m.size(), QSize(217, 190));
    QVERIFY(m.isVisible());
    QCOMPARE(m.languageCode(), QStringLiteral("cs"));
    QCOMPARE(m.font().family(), QStringLiteral("Arial"));
    QCOMPARE(m.font().pointSize(), 8);
    QCOMPARE(m.mainFontColour(), QColor(Qt::black));
    QVERIFY(m.showElapsed());
    QCOMPARE(m.ProgressBar1->value(), 5000);
    QCOMPARE(run.graph.volume(), 5000);
    QCOMPARE(m.Label2->text(), m.languageLines().line(16));
    QVERIFY(!m.Label2->text().isEmpty());
    QCOMPARE(m.findChild<QLabel *>(QStringLiteral("Panel1"))->text(), QStringLiteral("Tarnel " TARNEL_VERSION));
    // Laid out on the screen rather than piled at 0,0: the shown windows cover nothing
    // and lie on the screen; those that find no room wait hidden, unchecked.
    const QRect screen = m.screen()->availableGeometry();
    QList<QRect> shown{m.frameGeometry()};
    for (int i = 0; i < 7; ++i) {
        QWidget *w = window(formNames[i]);
        QVERIFY2(w, formNames[i]);
        QCOMPARE(m.menuItem(QLatin1String(toggleNames[i]))->isChecked(), w->isVisible());
        if (!w->isVisible()) {
            QVERIFY2(!w->frameGeometry().intersects(m.frameGeometry()) || w->height() + m.height() > screen.height(),
                     formNames[i]);
            continue;
        }
        QVERIFY2(screen.contains(w->frameGeometry()), formNames[i]);
        for (const QRect &r : std::as_const(shown))
            QVERIFY2(!r.intersects(w->frameGeometry()), formNames[i]);
        shown.append(w->frameGeometry());
    }
    QVERIFY(window("Form4")->isVisible());
    QVERIFY(shown.size() >= 3);
    QCOMPARE(window("Form3")->size(), QSize(344, 307));
    // The stored 175 is below the playlist's minimum height of 200.
    QCOMPARE(window("Form4")->size(), QSize(225, 200));
    QCOMPARE(window("Form9")->size(), QSize(100, 100));
    QVERIFY(!window("Form5")->isVisible());
    QVERIFY(QFile::exists(dir.file(QStringLiteral("playlist.st3"))));
    QCOMPARE(dir.readFile(QStringLiteral("playlist.st3")).size(), 0);
}

void StartupTest::togglesFollowVisibility()
{
    ProgramDirFixture dir;
    Run run(dir);
    QAction *item = run.main().menuItem(QStringLiteral("Playlist1"));
    QWidget *playlist = window("Form4");
    item->trigger();
    QVERIFY(!playlist->isVisible());
    QVERIFY(!item->isChecked());
    item->trigger();
    QVERIFY(playlist->isVisible());
    QVERIFY(item->isChecked());
    // Closing the window by the system hides it through the same toggle.
    playlist->close();
    QVERIFY(!playlist->isVisible());
    QVERIFY(!item->isChecked());
}

void StartupTest::placementSurvivesRestart()
{
    ProgramDirFixture dir;
    {
        Run run(dir);
        run.main().move(40, 50);
        window("Form3")->setGeometry(200, 210, 400, 350);
        // The radio closed (a first start may have kept it hidden already, for want of room).
        if (window("Form6")->isVisible())
            run.main().menuItem(QStringLiteral("Radio1"))->trigger();
        run.main().ProgressBar1->setValue(1234);
        run.close();
    }
    Run run(dir);
    QCOMPARE(run.main().pos(), QPoint(40, 50));
    QCOMPARE(window("Form3")->pos(), QPoint(200, 210));
    QCOMPARE(window("Form3")->size(), QSize(400, 350));
    QVERIFY(!window("Form6")->isVisible());
    QVERIFY(!run.main().menuItem(QStringLiteral("Radio1"))->isChecked());
    QVERIFY(window("Form7")->isVisible());
    QCOMPARE(run.main().ProgressBar1->value(), 1234);
    QCOMPARE(run.graph.volume(), 1234);
}

void StartupTest::mainWindowSizeIsFixed()
{
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI1]\r\nSirka=500\r\nVyska=$1F\r\nZLeva=0x10\r\n"
                                                   "[NASTAVENI3]\r\nSirka=200\r\n");
    Run run(dir);
    QCOMPARE(run.main().size(), QSize(217, 190));
    QCOMPARE(run.main().x(), 16);
    // The video window's minimum width applies to what was stored.
    QCOMPARE(window("Form3")->width(), 300);
}

void StartupTest::fontColourFormsAreOneColour()
{
    for (const QByteArray &value : {QByteArray("clRed"), QByteArray("$000000FF"), QByteArray("CLRED")}) {
        ProgramDirFixture dir;
        dir.writeFile(QStringLiteral("nastaveni.ini"), "[nastaveni1]\r\nfbarva=" + value + "\r\n");
        {
            Run run(dir);
            QCOMPARE(run.main().mainFontColour(), QColor(255, 0, 0));
            run.close();
        }
        const IniFile ini(dir.file(QStringLiteral("nastaveni.ini")));
        QCOMPARE(ini.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("FBarva"), QString()),
                 QStringLiteral("clRed"));
    }
}

void StartupTest::handOffFiltersByExtension()
{
    ProgramDirFixture dir;
    Run run(dir);
    TForm4 *playlist = run.startup->form4();
    run.main().receiveHandOff(QByteArray("/music/Song.Mp3"));
    run.main().receiveHandOff(QByteArray("/video/clip.vob"));
    run.main().receiveHandOff(QByteArray("/notes.txt"));
    run.main().receiveHandOff(QByteArray());
    run.main().receiveHandOff(QByteArray("/music/b.flac\0/ignored.mp3", 26));
    QCOMPARE(run.startup->playlist().paths(), (QStringList{"/music/Song.Mp3", "/music/b.flac"}));
    QCOMPARE(playlist->strip()->text(), QStringLiteral("2"));
    QCOMPARE(playlist->ListBox3->model()->rowCount(), 2);
    QCOMPARE(playlist->ListBox3->model()->index(0, 0).data().toString(), QStringLiteral("Song.Mp3"));
}

// Each start hands over one name: names with a line break (which the stored list cannot
// hold) that come together share one box naming them all, and the many that come one
// by one while it is open (the box's own event loop delivers them) share the next one,
// instead of a box each stacked on the first.
void StartupTest::handedNamesWithLineBreaksShareOneBox()
{
    ProgramDirFixture dir;
    Run run(dir);
    run.main().receiveHandOff(QByteArray("/a/first\rname.mp3"));
    run.main().receiveHandOff(QByteArray("/a/second\nname.mp3"));
    QStringList later;
    run.dialogs.whileOpen = [&] {
        // While the first box is open (start-up's file dialog may come before it).
        if (!later.isEmpty() || run.dialogs.messages.size() != 1)
            return;
        for (int i = 0; i < 20; ++i) {
            later.append(QStringLiteral("/b/%1\\nlines.mp3").arg(i));
            run.main().receiveHandOff(QStringLiteral("/b/%1\nlines.mp3").arg(i).toUtf8());
            QCoreApplication::processEvents();
        }
    };
    QTRY_COMPARE_WITH_TIMEOUT(run.dialogs.messages.size(), 2, 10000);
    const QString heading = run.main().languageLines().line(88, QStringLiteral("The file name holds a line break:"));
    QCOMPARE(run.dialogs.messages[0].text, heading + QStringLiteral("\n/a/first\\rname.mp3\n/a/second\\nname.mp3"));
    QCOMPARE(run.dialogs.messages[1].text, heading + QLatin1Char('\n') + later.join(QLatin1Char('\n')));
    QVERIFY(run.startup->playlist().paths().isEmpty());
}

void StartupTest::argumentsAppendedWithoutFilter()
{
    ProgramDirFixture dir;
    QString error;
    QVERIFY(ListStore::saveList(dir.file(QStringLiteral("playlist.st3")), {"/stored/z.mp3", "/stored/a.wav"}, &error));
    Run run(dir, {"/x/readme.txt", "/x/noextension", "/x/clip.vob"});
    QCOMPARE(run.startup->playlist().paths(),
             (QStringList{"/stored/z.mp3", "/stored/a.wav", "/x/readme.txt", "/x/noextension", "/x/clip.vob"}));
    QCOMPARE(run.startup->form4()->strip()->text(), QStringLiteral("5"));
    // Rows follow the path order, never sorted.
    QCOMPARE(run.startup->playlist().displayName(0), QStringLiteral("z.mp3"));
    QCOMPARE(run.startup->playlist().displayName(1), QStringLiteral("a.wav"));
}

void StartupTest::closeWritesSectionsInOrder()
{
    ProgramDirFixture dir;
    {
        Run run(dir, {"/a/one.mp3", "/b/two.avi"});
        run.close();
    }
    const QString text = QString::fromUtf8(dir.readFile(QStringLiteral("nastaveni.ini")));
    qsizetype last = -1;
    for (const char *section : {"[NASTAVENI1]", "[NASTAVENI2]", "[NASTAVENI3]", "[NASTAVENI4]", "[NASTAVENI6]",
                                "[NASTAVENI7]", "[NASTAVENI8]", "[NASTAVENI9]"}) {
        const qsizetype at = text.indexOf(QLatin1String(section));
        QVERIFY2(at > last, section);
        last = at;
    }
    QVERIFY(!text.contains(QLatin1String("NASTAVENI5")));
    const IniFile ini(dir.file(QStringLiteral("nastaveni.ini")));
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("Volume"), -1), 5000);
    QCOMPARE(ini.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("Jazyk"), QString()), QStringLiteral("cs"));
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI8"), QStringLiteral("Hlasitost3"), -1), 65535);
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI6"), QStringLiteral("Hlasitost"), -1), 65535);
    const ListStore::LoadResult stored = ListStore::loadList(dir.file(QStringLiteral("playlist.st3")), false);
    QCOMPARE(stored.entries, (QStringList{"/a/one.mp3", "/b/two.avi"}));
}

void StartupTest::failedSettingsWriteStillStoresPlaylist()
{
    ProgramDirFixture dir;
    // A folder where the settings file should be: it cannot be replaced.
    QVERIFY(QDir().mkdir(dir.file(QStringLiteral("nastaveni.ini"))));
    Run run(dir, {"/a/kept.mp3"});
    run.close();
    QCOMPARE(run.dialogs.messageTexts(),
             QStringList{QStringLiteral("Unable to write to ") + dir.file(QStringLiteral("nastaveni.ini"))});
    QCOMPARE(ListStore::loadList(dir.file(QStringLiteral("playlist.st3")), false).entries,
             QStringList{"/a/kept.mp3"});
}

void StartupTest::damagedPlaylistIsKeptAndReported()
{
    ProgramDirFixture dir;
    const QByteArray garbage("this is not a zlib stream at all");
    dir.writeFile(QStringLiteral("playlist.st3"), garbage);
    Run run(dir);
    QCOMPARE(run.startup->playlist().count(), 0);
    QTRY_COMPARE(run.dialogs.messages.size(), 1);
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("playlist.st3.damaged-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(dir.readFile(aside.first()), garbage);
    QVERIFY(run.dialogs.messages.first().text.contains(aside.first()));
    run.close();
    QCOMPARE(dir.readFile(QStringLiteral("playlist.st3")), QByteArray::fromHex("78da030000000001"));
}

void StartupTest::languageFilesChooseCaptions()
{
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI1]\r\nJazyk=en\r\n");
    Run run(dir);
    LineTable en;
    QVERIFY(en.load(dir.file(QStringLiteral("jazyky/en.txt"))));
    QCOMPARE(run.main().menuItem(QStringLiteral("Konec1"))->text(), en.line(71));
    QCOMPARE(run.main().menuItem(QStringLiteral("Playlist1"))->text(), en.line(18));
    QCOMPARE(run.main().menuItem(QStringLiteral("Levak1"))->text(), en.line(69));
    // Items without a language line keep their design caption.
    QCOMPARE(run.main().menuItem(QStringLiteral("Vizualizace1"))->text(), QStringLiteral("Vizualizace"));
    QCOMPARE(run.main().Label2->text(), en.line(16));
    QCOMPARE(run.startup->form9()->strip()->text(), en.line(76));
}

void StartupTest::missingLanguageFileKeepsDesignCaptions()
{
    ProgramDirFixture dir;
    QFile::remove(dir.file(QStringLiteral("jazyky/cs.txt")));
    dir.writeFile(QStringLiteral("zkratky/zkratky.txt"), "Del\r\n");
    Run run(dir);
    QCOMPARE(run.main().menuItem(QStringLiteral("Konec1"))->text(), QStringLiteral("Konec"));
    QCOMPARE(run.main().menuItem(QStringLiteral("Nastaveni1"))->text(), QStringLiteral("Nastaveni"));
    QVERIFY(window("Form4")->isVisible());
}

void StartupTest::titleMarquee()
{
    ProgramDirFixture dir;
    Run run(dir);
    TForm1 &m = run.main();
    QVERIFY(m.isVisible());
    QVERIFY(!m.Timer1->isActive()); // no title yet: nothing to move, nothing timed
    m.setTitleText(QStringLiteral("short"));
    QVERIFY(!m.Timer1->isActive()); // it fits: the marquee stands still and is not timed
    m.RotateTitle();
    QCOMPARE(m.Label3->text(), QStringLiteral("short"));
    const QString longTitle = QStringLiteral("A title much too long to fit in the narrow main window strip");
    m.setTitleText(longTitle);
    QVERIFY(m.Timer1->isActive());
    // Nobody sees it while the window is hidden (in the tray): not timed then either.
    m.hide();
    QVERIFY(!m.Timer1->isActive());
    m.show();
    QVERIFY(m.Timer1->isActive());
    m.RotateTitle();
    QCOMPARE(m.Label3->text(), longTitle.mid(1) + longTitle.left(1));
    for (int i = 1; i < longTitle.size(); ++i)
        m.RotateTitle();
    QCOMPARE(m.Label3->text(), longTitle);
    QCOMPARE(m.Timer1->interval(), 200);
    QVERIFY(m.Timer1->isActive());
    // A name of a megabyte: only what fits is measured and shown at each step.
    const QString huge = QStringLiteral("x") + QString(1 << 20, QLatin1Char('w'));
    m.setTitleText(huge);
    m.RotateTitle();
    QVERIFY(m.Label3->text().size() < 4096);
    QVERIFY(m.titleText() == huge.mid(1) + huge.left(1));
    m.setTitleText(QStringLiteral("short again"));
    QVERIFY(!m.Timer1->isActive());
    // No tray offscreen: no tray animation timed either.
    QVERIFY(!m.trayIcon());
    QVERIFY(!m.trayAnimating());
}

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
