#include "app/Restart.h"

#include "app/SingleInstance.h"

#include <QProcess>

bool startNewCopy(SingleInstance &guard, const QString &program, QString *error, qint64 *pid)
{
    guard.release();
    QProcess process;
    process.setProgram(program);
    if (process.startDetached(pid))
        return true;
    if (error)
        *error = process.errorString();
    return false;
}
