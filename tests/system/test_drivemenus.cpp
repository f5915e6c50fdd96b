// The drive menus of the main window: one item per drive under each of the three
// menus in the same order, and the query's message (the drive, the language line,
// the volume serial of a FAT image made here); the uptime message.
#include "app/TForm1.h"
#include "playlist/PlaylistModel.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "ui/ImageList.h"

#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class DriveMenusTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void itemsAndQuery();
    void uptimeAndAutostartMessages();
};

void DriveMenusTest::itemsAndQuery()
{
    QTemporaryDir tmp;
    const QString image = tmp.filePath(QStringLiteral("d.img"));
    QProcess mkfs;
    mkfs.start(QStringLiteral("mkfs.fat"), {"-i", "12345678", "-C", image, "1440"});
    QVERIFY(mkfs.waitForFinished(60000) && mkfs.exitCode() == 0);

    ProgramDirFixture dir;
    ScriptedDialogs dialogs;
    ImageList images;
    PlaylistModel playlist;
    SystemServices services;
    services.drives = QVector<DriveEntry>{{QStringLiteral("C"), tmp.filePath(QStringLiteral("none")), QString(), false},
                                          {QStringLiteral("D"), image, QString(), true}};
    TForm1 form(dir.path(), dialogs, images, playlist, services);

    for (const char *parent : {"Otazka1", "Otevrit1", "Zavrit1"}) {
        QAction *menu = form.menuItem(QString::fromLatin1(parent));
        QVERIFY(menu && menu->menu());
        QStringList captions;
        for (QAction *a : menu->menu()->actions())
            captions.append(a->text());
        QCOMPARE(captions, (QStringList{"C", "D"}));
    }
    const LineTable &lines = form.languageLines();
    form.menuItem(QStringLiteral("Otazka1"))->menu()->actions().at(1)->trigger();
    QTRY_COMPARE(dialogs.messageTexts(), QStringList{"D" + lines.line(50) + "1234-5678"});
    // A drive without a readable volume: the letter and the line, nothing after them.
    form.menuItem(QStringLiteral("Otazka1"))->menu()->actions().at(0)->trigger();
    QTRY_COMPARE(dialogs.messageTexts().size(), 2);
    QCOMPARE(dialogs.messageTexts().at(1), "C" + lines.line(51));
    QVERIFY(lines.line(50).contains(QStringLiteral("CD-ROM")));
}

void DriveMenusTest::uptimeAndAutostartMessages()
{
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("not-a-folder"), "x");
    ScriptedDialogs dialogs;
    ImageList images;
    PlaylistModel playlist;
    SystemServices services;
    services.drives = QVector<DriveEntry>{};
    services.autostartDir = dir.file(QStringLiteral("not-a-folder"));
    services.programPath = QStringLiteral("/opt/tarnel/tarnel");
    TForm1 form(dir.path(), dialogs, images, playlist, services);
    form.menuItem(QStringLiteral("Cas1"))->trigger();
    QCOMPARE(dialogs.messageTexts().size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+:[0-5]\\d:[0-5]\\d$")).match(dialogs.messageTexts().first()).hasMatch());
    form.menuItem(QStringLiteral("Zapnoutpristartu1"))->trigger();
    form.menuItem(QStringLiteral("Vypnoutpristartu1"))->trigger();
    QCOMPARE(dialogs.messageTexts().mid(1), QStringList(2, QStringLiteral("Chyba při otevírání klíče registrů.")));
}

QTEST_MAIN(DriveMenusTest)
#include "test_drivemenus.moc"
