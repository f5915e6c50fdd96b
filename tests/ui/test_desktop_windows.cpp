// The windows on a desktop, driven by the mouse: minimise and restore, a platform
// that does not report positions, edge resizing without a window manager, the file
// dialogs' first folder, Qt's own texts in the program's language.
#include "app/Startup.h"
#include "app/TForm1.h"
#include "settings/IniFile.h"
#include "support/FakeMediaGraph.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "ui/Dialogs.h"
#include "ui/MinimisedWindows.h"
#include "ui/Placement.h"
#include "ui/ToolWindow.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

#include <memory>

namespace {

struct Run {
    ScriptedDialogs dialogs;
    FakeMediaGraph graph;
    std::unique_ptr<Startup> startup;

    explicit Run(const ProgramDirFixture &dir)
        : startup(std::make_unique<Startup>(dir.path(), QStringList{"/m/a.wav"}, dialogs, graph))
    {
    }
    TForm1 &main() { return *startup->form1(); }
};

QWidget *window(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name))
            return w;
    return nullptr;
}

QStringList shownWindows()
{
    QStringList names;
    for (const char *name : {"Form1", "Form2", "Form3", "Form4", "Form6", "Form7", "Form8", "Form9"})
        if (QWidget *w = window(name); w && w->isVisible())
            names.append(QLatin1String(name));
    return names;
}

// Right click on the main window, then a left click on the item.
void chooseFromMainMenu(TForm1 &main, const QString &item)
{
    main.popupAt(main.mapToGlobal(QPoint(50, 50)));
    QMenu *menu = main.popupMenu();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QAction *action = main.menuItem(item);
    QVERIFY(action);
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(action).center());
}

} // namespace

class DesktopWindowsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { placement::resetPositionsKnown(); }
    void minimiseWithoutTrayAndRestore();
    void minimisedWindowsComeBackAsTheyWere();
    void unreportedPositionsKeepTheStoredOnes();
    void edgeResizingByHand_data();
    void edgeResizingByHand();
    void fileDialogsStartInTheMusicFolder();
    void qtTextsInTheProgramLanguage();
};

void DesktopWindowsTest::minimiseWithoutTrayAndRestore()
{
    ProgramDirFixture dir;
    // Two windows the user had closed.
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI1]\r\nZLeva=0\r\nZHora=0\r\n[NASTAVENI6]\r\nVidet=0\r\n"
                                                   "[NASTAVENI2]\r\nVidet=0\r\n");
    Run run(dir);
    TForm1 &main = run.main();
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(!main.trayIcon()); // no tray here: the task bar keeps the way back
    const QStringList before = shownWindows();
    QVERIFY(before.contains("Form4") && !before.contains("Form6") && !before.contains("Form2"));

    chooseFromMainMenu(main, QStringLiteral("Minimalizovat1"));
    QTRY_VERIFY(main.isMinimized());
    QCOMPARE(shownWindows(), QStringList{"Form1"}); // only the task bar's entry stays
    // Their menu items still say they belong on screen.
    QVERIFY(main.menuItem(QStringLiteral("Playlist1"))->isChecked());

    main.showNormal(); // the task bar's entry clicked
    QTRY_COMPARE(shownWindows(), before);
    QVERIFY(!window("Form6")->isVisible());
}

void DesktopWindowsTest::minimisedWindowsComeBackAsTheyWere()
{
    ProgramDirFixture dir;
    {
        Run run(dir);
        QWidget *radio = window("Form6");
        QWidget *playlist = window("Form4");
        if (radio->isVisible()) // closed before (a first start may have kept it hidden)
            run.main().menuItem(QStringLiteral("Radio1"))->trigger();
        QVERIFY(!radio->isVisible() && playlist->isVisible());
        MinimisedWindows tray;
        tray.hideShown(&run.main());
        QVERIFY(!playlist->isVisible());
        // One opened again from the tray's menu meanwhile is the user's, not ours.
        run.main().menuItem(QStringLiteral("Playlist1"))->trigger();
        QVERIFY(playlist->isVisible());
        run.main().menuItem(QStringLiteral("Playlist1"))->trigger();
        QVERIFY(!playlist->isVisible());
        // Closed while in the tray: the settings still say shown for the others.
        run.main().close();
        const IniFile ini(dir.file(QStringLiteral("nastaveni.ini")));
        QCOMPARE(ini.readBool(QStringLiteral("NASTAVENI9"), QStringLiteral("Videt"), false), true);
        QCOMPARE(ini.readBool(QStringLiteral("NASTAVENI6"), QStringLiteral("Videt"), true), false);
        QCOMPARE(ini.readBool(QStringLiteral("NASTAVENI4"), QStringLiteral("Videt"), true), false);
        tray.restore();
        QVERIFY(window("Form9")->isVisible());
        QVERIFY(!playlist->isVisible());
        QVERIFY(!radio->isVisible());
    }
}

void DesktopWindowsTest::unreportedPositionsKeepTheStoredOnes()
{
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"),
                  "[NASTAVENI1]\r\nZLeva=300\r\nZHora=40\r\n[NASTAVENI4]\r\nZLeva=520\r\nZHora=60\r\nSirka=250\r\n"
                  "Vyska=300\r\n[NASTAVENI8]\r\nZLeva=10\r\nZHora=400\r\n");
    {
        Run run(dir);
        // A platform that cannot say where windows are reads them all at 0,0.
        placement::setPositionsKnown(false);
        for (const char *name : {"Form1", "Form4", "Form8"})
            window(name)->move(0, 0);
        window("Form4")->resize(260, 320);
        run.main().close();
    }
    const IniFile ini(dir.file(QStringLiteral("nastaveni.ini")));
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("ZLeva"), -1), 300);
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("ZHora"), -1), 40);
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI4"), QStringLiteral("ZLeva"), -1), 520);
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI8"), QStringLiteral("ZHora"), -1), 400);
    // What the platform does report is written as always.
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI4"), QStringLiteral("Sirka"), -1), 260);
    QCOMPARE(ini.readBool(QStringLiteral("NASTAVENI4"), QStringLiteral("Videt"), false), true);
    // A window never placed before has nothing stored, and nothing is made up for it.
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI9"), QStringLiteral("ZLeva"), -1), -1);

    placement::resetPositionsKnown();
    Run again(dir);
    QCOMPARE(again.main().pos(), QPoint(300, 40));
    QCOMPARE(window("Form4")->pos(), QPoint(520, 60));
}

void DesktopWindowsTest::edgeResizingByHand_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QPoint>("grab"); // from the window's corner named below
    QTest::addColumn<bool>("fromRight");
    QTest::addColumn<bool>("fromBottom");
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<QRect>("change"); // of left, top, right, bottom
    QTest::newRow("playlist, right edge, 6 px in") << "Form4" << QPoint(-6, -100) << true << true << QPoint(40, 0)
                                                   << QRect(0, 0, 40, 0);
    QTest::newRow("playlist, bottom edge") << "Form4" << QPoint(-100, -2) << true << true << QPoint(0, 30)
                                           << QRect(0, 0, 0, 30);
    QTest::newRow("video, left edge") << "Form3" << QPoint(1, 150) << false << false << QPoint(-25, 0)
                                      << QRect(-25, 0, 0, 0);
    QTest::newRow("visualisation, corner") << "Form9" << QPoint(-3, -3) << true << true << QPoint(20, 10)
                                           << QRect(0, 0, 20, 10);
    QTest::newRow("visualisation, top edge in the strip") << "Form9" << QPoint(50, 2) << false << false
                                                          << QPoint(0, -15) << QRect(0, -15, 0, 0);
}

void DesktopWindowsTest::edgeResizingByHand()
{
    QFETCH(QString, form);
    QFETCH(QPoint, grab);
    QFETCH(bool, fromRight);
    QFETCH(bool, fromBottom);
    QFETCH(QPoint, move);
    QFETCH(QRect, change);
    ProgramDirFixture dir;
    Run run(dir);
    auto *w = qobject_cast<ToolWindow *>(window(form.toLatin1().constData()));
    QVERIFY(w);
    w->setGeometry(300, 200, 400, 360);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect before = w->geometry();
    const QPoint at(fromRight ? w->width() + grab.x() : grab.x(), fromBottom ? w->height() + grab.y() : grab.y());
    // The press lands on whatever is there, the window itself or its title strip.
    QWidget *target = w->childAt(at) ? w->childAt(at) : w;
    const QPoint local = target->mapFrom(w, at);
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, local);
    QTest::mouseMove(target, local + move);
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, local + move);
    const QRect after = w->geometry();
    QCOMPARE(after.left() - before.left(), change.left());
    QCOMPARE(after.top() - before.top(), change.top());
    QCOMPARE(after.right() - before.right(), change.width());
    QCOMPARE(after.bottom() - before.bottom(), change.height());
}

void DesktopWindowsTest::fileDialogsStartInTheMusicFolder()
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("config"))));
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("Hudba"))));
    QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("Videa"))));
    QFile dirs(home.filePath(QStringLiteral("config/user-dirs.dirs")));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_MUSIC_DIR=\"$HOME/Hudba\"\nXDG_VIDEOS_DIR=\"$HOME/Videa\"\n");
    dirs.close();

    QtDialogs dialogs;
    QCOMPARE(dialogs.startFolder(), home.filePath(QStringLiteral("Hudba")));
    // Without a music folder: videos.
    QVERIFY(QDir(home.filePath(QStringLiteral("Hudba"))).removeRecursively());
    QCOMPARE(dialogs.startFolder(), home.filePath(QStringLiteral("Videa")));
    QVERIFY(QDir(home.filePath(QStringLiteral("Videa"))).removeRecursively());
    QCOMPARE(QDir(dialogs.startFolder()), QDir(home.path()));

    qputenv("HOME", oldHome);
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
}

void DesktopWindowsTest::qtTextsInTheProgramLanguage()
{
    const QString english = QCoreApplication::translate("QPlatformTheme", "Cancel");
    ProgramDirFixture dir;
    {
        Run run(dir); // "cs" by default
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Zrušit"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("&Otevřít"));
    }
    // The program gone, so are its translations.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), english);
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI1]\r\nJazyk=en\r\n");
    Run english_run(dir);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), english);
}

QTEST_MAIN(DesktopWindowsTest)
#include "test_desktop_windows.moc"
