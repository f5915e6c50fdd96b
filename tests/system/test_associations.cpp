// File associations in a temporary home, checked with the desktop's own tools: GIO
// finds the type of every associated extension (our MIME definitions included) and
// names this program its default, xdg-mime agrees, and mimeapps.list keeps every
// other line. Installed by the package, the user's entry follows the system's.
#include "system/Associations.h"

#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>

class AssociationsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void everyExtensionOpensHere_data();
    void everyExtensionOpensHere();
    void mimeappsKeepsOtherLines();
    void desktopEntry();
    void systemEntryIsFollowed_data();
    void systemEntryIsFollowed();
    void shippedFilesAreTheProgramsOwn();

private:
    QString tool(const QString &program, const QStringList &args);

    QTemporaryDir home_;
    QString originalMimeapps_;
};

QString AssociationsTest::tool(const QString &program, const QStringList &args)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    env.insert(QStringLiteral("HOME"), home_.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home_.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/local/share:/usr/share"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void AssociationsTest::initTestCase()
{
    QVERIFY(QDir(home_.path()).mkpath(QStringLiteral("config")));
    originalMimeapps_ = QStringLiteral("# Poznámka uživatele\n"
                                       "[Default Applications]\n"
                                       "audio/mpeg=vlc.desktop;\n"
                                       "text/plain=gedit.desktop\n"
                                       "\n"
                                       "[Added Associations]\n"
                                       "audio/flac=vlc.desktop;\n");
    // Kept elsewhere and linked, as dotfile managers do.
    QFile f(home_.filePath(QStringLiteral("dotfiles-mimeapps.list")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(originalMimeapps_.toUtf8());
    f.close();
    QVERIFY(f.link(home_.filePath(QStringLiteral("config/mimeapps.list"))));

    // GIO ignores an entry whose program does not exist: a stand-in, in a folder with a space.
    QVERIFY(QDir(home_.path()).mkpath(QStringLiteral("my player")));
    QVERIFY(QFile::copy(QStringLiteral("/bin/true"), home_.filePath(QStringLiteral("my player/tarnel"))));
    FileAssociations associations(home_.filePath(QStringLiteral("my player/tarnel")),
                                  qEnvironmentVariable("TARNEL_SOURCE_DIR") + QStringLiteral("/data/tarnel.svg"),
                                  home_.filePath(QStringLiteral("data")), home_.filePath(QStringLiteral("config")));
    QSignalSpy ready(&associations, &FileAssociations::mimeDatabaseReady);
    associations.rewrite();
    QVERIFY(ready.wait(60000));
    QVERIFY(QFile::exists(home_.filePath(QStringLiteral("data/icons/hicolor/scalable/apps/tarnel.svg"))));

    // A second start finds everything in place and changes nothing.
    const QString list = home_.filePath(QStringLiteral("config/mimeapps.list"));
    const QDateTime written = QFileInfo(list).lastModified();
    associations.rewrite();
    QCOMPARE(ready.size(), 2); // nothing to rebuild: told at once
    QCOMPARE(QFileInfo(list).lastModified(), written);
    QVERIFY(QFileInfo(list).isSymLink()); // written through the link
}

void AssociationsTest::everyExtensionOpensHere_data()
{
    QTest::addColumn<QString>("extension");
    for (const QString &e : associations::extensions())
        QTest::newRow(qPrintable(e)) << e;
}

void AssociationsTest::everyExtensionOpensHere()
{
    QFETCH(QString, extension);
    // Bytes no content rule knows: the name decides, as for a file not yet downloaded whole.
    const QString file = home_.filePath(QStringLiteral("probe") + extension);
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\x01\x02\x03\x04", 4));
    f.close();
    const QString info = tool(QStringLiteral("gio"), {"info", "-a", "standard::content-type", file});
    const QString type = info.section(QStringLiteral("standard::content-type: "), 1).trimmed();
    QVERIFY2(associations::mimeTypesOf(extension).contains(type), qPrintable(info));
    QVERIFY(tool(QStringLiteral("gio"), {"mime", type}).contains(QStringLiteral(": tarnel.desktop")));
    QCOMPARE(tool(QStringLiteral("xdg-mime"), {"query", "default", type}), QStringLiteral("tarnel.desktop"));
}

void AssociationsTest::mimeappsKeepsOtherLines()
{
    QFile f(home_.filePath(QStringLiteral("config/mimeapps.list")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const char *kept : {"# Poznámka uživatele", "[Default Applications]", "text/plain=gedit.desktop",
                                "[Added Associations]", "audio/flac=vlc.desktop;"})
        QCOMPARE(lines.count(QString::fromUtf8(kept)), 1);
    // Ours first; the application chosen before stays as the next choice.
    QVERIFY(lines.contains(QStringLiteral("audio/mpeg=tarnel.desktop;vlc.desktop;")));
    QCOMPARE(lines.filter(QStringLiteral("=tarnel.desktop;")).size(), associations::mimeTypes().size());
    // The defaults stay in their section, before the next one.
    QVERIFY(lines.indexOf(QStringLiteral("audio/x-wave=tarnel.desktop;"))
            < lines.indexOf(QStringLiteral("[Added Associations]")));
}

void AssociationsTest::desktopEntry()
{
    const QString entry = QString::fromUtf8(associations::desktopEntryText(QStringLiteral("/opt/my player/tarnel")));
    QVERIFY(entry.contains(QStringLiteral("\nExec=\"/opt/my player/tarnel\" %f\n")));
    QVERIFY(entry.contains(QStringLiteral("\nMimeType=") + associations::mimeTypes().join(QLatin1Char(';'))
                           + QStringLiteral(";\n")));
    QVERIFY(associations::desktopEntryText(QStringLiteral("/opt/tarnel/tarnel")).contains("\nExec=/opt/tarnel/tarnel %f\n"));
}

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

void AssociationsTest::systemEntryIsFollowed_data()
{
    QTest::addColumn<QString>("systemEntryStarts"); // relative to the root; empty: no system entry
    QTest::addColumn<bool>("followed");
    QTest::newRow("no system entry") << QString() << false;
    QTest::newRow("system entry starts this program through its link") << "usr/bin/tarnel" << true;
    QTest::newRow("system entry starts another program") << "opt/other/tarnel" << false;
}

void AssociationsTest::systemEntryIsFollowed()
{
    QFETCH(QString, systemEntryStarts);
    QFETCH(bool, followed);
    // The package's layout: the program in its folder, the launcher a relative link to it.
    QTemporaryDir root;
    const QDir r(root.path());
    QVERIFY(r.mkpath(QStringLiteral("usr/lib/tarnel")) && r.mkpath(QStringLiteral("usr/bin"))
            && r.mkpath(QStringLiteral("opt/other")) && r.mkpath(QStringLiteral("usr/share/applications")));
    const QString program = r.filePath(QStringLiteral("usr/lib/tarnel/tarnel"));
    QVERIFY(QFile::copy(QStringLiteral("/bin/true"), program));
    QVERIFY(QFile::copy(QStringLiteral("/bin/true"), r.filePath(QStringLiteral("opt/other/tarnel"))));
    QCOMPARE(::symlink("../lib/tarnel/tarnel", QFile::encodeName(r.filePath(QStringLiteral("usr/bin/tarnel")))), 0);
    if (!systemEntryStarts.isEmpty()) {
        QFile entry(r.filePath(QStringLiteral("usr/share/applications/tarnel.desktop")));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write(associations::desktopEntryText(r.filePath(systemEntryStarts)));
    }

    const QString data = r.filePath(QStringLiteral("home/data"));
    FileAssociations associations(program, qEnvironmentVariable("TARNEL_SOURCE_DIR") + QStringLiteral("/data/tarnel.svg"),
                                  data, r.filePath(QStringLiteral("home/config")),
                                  {r.filePath(QStringLiteral("usr/local/share")), r.filePath(QStringLiteral("usr/share"))});
    QSignalSpy ready(&associations, &FileAssociations::mimeDatabaseReady);
    associations.rewrite();
    QVERIFY(ready.size() == 1 || ready.wait(60000));

    const QString launcher = followed ? r.filePath(QStringLiteral("usr/bin/tarnel")) : program;
    QCOMPARE(associations.launcher(), launcher);
    QCOMPARE(contents(data + QStringLiteral("/applications/tarnel.desktop")), associations::desktopEntryText(launcher));
    if (followed) // the very text of the system's entry
        QCOMPARE(contents(data + QStringLiteral("/applications/tarnel.desktop")),
                 contents(r.filePath(QStringLiteral("usr/share/applications/tarnel.desktop"))));
    // The system's icon and MIME definitions serve; no user copies of them.
    QCOMPARE(QFile::exists(data + QStringLiteral("/icons/hicolor/scalable/apps/tarnel.svg")), !followed);
    QCOMPARE(QFile::exists(data + QStringLiteral("/mime/packages/tarnel.xml")), !followed);
}

void AssociationsTest::shippedFilesAreTheProgramsOwn()
{
    // What the package installs system-wide is what the program writes for a user.
    const QString source = qEnvironmentVariable("TARNEL_SOURCE_DIR") + QStringLiteral("/data/desktop/");
    QByteArray entry = contents(source + QStringLiteral("tarnel.desktop.in"));
    entry.replace("@TARNEL_LAUNCHER@", "/usr/bin/tarnel");
    QCOMPARE(entry, associations::desktopEntryText(QStringLiteral("/usr/bin/tarnel")));
    QCOMPARE(contents(source + QStringLiteral("tarnel.xml")), associations::mimePackageText());
}

QTEST_GUILESS_MAIN(AssociationsTest)
#include "test_associations.moc"
