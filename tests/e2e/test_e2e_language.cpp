// The language change end to end: the settings window of a running player picks "en";
// the close path saves, the guard is let go, and the built program starts as the new
// first instance with the new language, the old playlist and the windows where they were.
#include "app/Restart.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "app/TForm1.h"
#include "online/TForm2.h"
#include "settings/IniFile.h"
#include "storage/ListStore.h"
#include "support/FakeMediaGraph.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"

#include <QComboBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

class LanguageRestartTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newCopyRunsWithNewLanguage();
};

void LanguageRestartTest::newCopyRunsWithNewLanguage()
{
    ProgramDirFixture dir;
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    // The new copy inherits this environment: the test's own runtime folder and home.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    qputenv("HOME", QFile::encodeName(runtime.path() + QStringLiteral("/home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(runtime.path() + QStringLiteral("/home/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(runtime.path() + QStringLiteral("/home/.local/share")));
    const QStringList playlist{QStringLiteral("/stored/first.wav"), QStringLiteral("/stored/Píseň.mp3")};
    QString error;
    QVERIFY(ListStore::saveList(dir.file(QStringLiteral("playlist.st3")), playlist, &error));
    dir.writeFile(QStringLiteral("nastaveni.ini"), "[NASTAVENI4]\r\nZLeva=40\r\nZHora=50\r\nVidet=1\r\n");
    const QString program = dir.installProgram();

    SingleInstance guard(runtime.path());
    QVERIFY(guard.acquire());
    QVERIFY(guard.listen([](const QByteArray &) {}));
    qint64 pid = 0;
    {
        ScriptedDialogs dialogs;
        FakeMediaGraph graph;
        Startup startup(dir.path(), {}, dialogs, graph);
        QComboBox *languages = startup.form2()->ComboBox1;
        const int en = languages->findText(QStringLiteral("en"));
        QVERIFY(en >= 0);
        Q_EMIT languages->activated(en);
        QVERIFY(startup.form1()->restartRequested());
        QVERIFY2(startNewCopy(guard, program, &error, &pid), qPrintable(error));
    }
    const IniFile saved(dir.file(QStringLiteral("nastaveni.ini")));
    QCOMPARE(saved.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("Jazyk"), QString()), QStringLiteral("en"));

    // The new copy is the first instance now: it takes a hand-off.
    const QString socket = runtime.path() + QStringLiteral("/Quillon");
    QVERIFY(QTest::qWaitFor([&] { return QFile::exists(socket); }, 60000));
    QProcess second;
    second.start(program, {QStringLiteral("/music/third.mp3")});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 0);

    ::kill(pid_t(pid), SIGTERM);
    QVERIFY(QTest::qWaitFor([&] { return ::kill(pid_t(pid), 0) != 0; }, 30000));
    const IniFile after(dir.file(QStringLiteral("nastaveni.ini")));
    QCOMPARE(after.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("Jazyk"), QString()), QStringLiteral("en"));
    QCOMPARE(after.readInteger(QStringLiteral("NASTAVENI4"), QStringLiteral("ZLeva"), 0), 40);
    QCOMPARE(after.readInteger(QStringLiteral("NASTAVENI4"), QStringLiteral("ZHora"), 0), 50);
    QCOMPARE(ListStore::loadList(dir.file(QStringLiteral("playlist.st3")), false).entries,
             playlist + QStringList{QStringLiteral("/music/third.mp3")});
}

QTEST_MAIN(LanguageRestartTest)
#include "test_e2e_language.moc"
