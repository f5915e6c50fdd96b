#include "system/Autostart.h"

#include "common/AtomicFile.h"
#include "system/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace autostart {

namespace {

bool openFolder(const QString &dir, QString *error)
{
    const QFileInfo info(dir);
    if ((info.isDir() && info.isWritable()) || (!info.exists() && QDir().mkpath(dir)))
        return true;
    if (error)
        *error = folderErrorMessage();
    return false;
}

} // namespace

QString folderErrorMessage()
{
    return QStringLiteral("Chyba při otevírání klíče registrů.");
}

QString entryPath(const QString &autostartDir)
{
    return autostartDir + QStringLiteral("/tarnel.desktop");
}

QByteArray entryText(const QString &programPath)
{
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=Tarnel\nExec=");
    text += desktop_entry::escapeValue(desktop_entry::execArgument(programPath));
    text += QStringLiteral("\nIcon=tarnel\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

bool enable(const QString &autostartDir, const QString &programPath, QString *error)
{
    if (!openFolder(autostartDir, error))
        return false;
    return atomic_file::write(entryPath(autostartDir), entryText(programPath), error);
}

bool disable(const QString &autostartDir, QString *error)
{
    if (!openFolder(autostartDir, error))
        return false;
    QFile::remove(entryPath(autostartDir));
    return true;
}

} // namespace autostart
