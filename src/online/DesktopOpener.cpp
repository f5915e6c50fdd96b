#include "online/DesktopOpener.h"

#include <QProcess>

bool XdgOpener::open(const QString &path, QString *error)
{
    QProcess process;
    process.setProgram(QStringLiteral("xdg-open"));
    process.setArguments({path});
    if (process.startDetached())
        return true;
    if (error)
        *error = process.errorString();
    return false;
}
