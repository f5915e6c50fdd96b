#pragma once
// File associations on freedesktop conventions, rewritten at every start into the
// user's own folders: the desktop entry of the "ST" type (tarnel.desktop) that opens
// a file with this program, MIME definitions of our own for the extensions the
// system does not know, the program's icon in the user's hicolor theme, and the
// defaults in mimeapps.list. Every file is replaced atomically; what cannot be
// written is skipped without a message.
// Installed by the package, the program finds the system's own entry, icon and MIME
// definitions: the user's entry is then the system entry's very text (it names
// /usr/bin/tarnel and cannot hide the system one with other content), and no icon or
// MIME copy goes to the user's folders.
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

namespace associations {

// The 26 associated extensions, in order, dot included.
const QStringList &extensions();
// The MIME types of one extension (ours where the system has none).
QStringList mimeTypesOf(const QString &extension);
// Every type of the 26 extensions, each once, in extension order.
QStringList mimeTypes();
QString desktopFileName();
// The desktop entry for the program file (the system-wide one is this text for the
// package's /usr/bin/tarnel, data/tarnel.desktop).
QByteArray desktopEntryText(const QString &programPath);
// The program a system-wide tarnel.desktop in one of systemDataDirs starts, when that
// program is this one (the package's /usr/bin/tarnel, a link to /usr/lib/tarnel/tarnel);
// empty when no system entry starts programPath.
QString systemLauncher(const QString &programPath, const QStringList &systemDataDirs);
// Our shared-mime-info package.
QByteArray mimePackageText();
// mimeapps.list with this program first among the defaults of every type; every
// other line stays as it was.
QString withDefaults(const QString &mimeappsText, const QStringList &types);

} // namespace associations

class FileAssociations : public QObject {
    Q_OBJECT
public:
    // dataHome and configHome: the user's XDG folders; iconFile: the icon to install;
    // systemDataDirs: the system's (XDG_DATA_DIRS), where a package puts its entry.
    FileAssociations(const QString &programPath, const QString &iconFile, const QString &dataHome,
                     const QString &configHome, const QStringList &systemDataDirs = {},
                     QObject *parent = nullptr);

    // The path desktop entries start: the system entry's launcher when a package
    // installed this program, else the program itself.
    QString launcher() const { return launcher_; }

    // Writes every file; the MIME database is rebuilt on the side when our package
    // changed or the database is missing (mimeDatabaseReady follows).
    void rewrite();

Q_SIGNALS:
    // The MIME database is up to date (also when nothing needed rebuilding).
    void mimeDatabaseReady();

private:
    void updateMimeDatabase();

    QString programPath_;
    QString launcher_;
    bool systemWide_ = false;
    QString iconFile_;
    QString dataHome_;
    QString configHome_;
    QProcess *updater_ = nullptr;
};
