#include "app/Restart.h"

#include "app/SingleInstance.h"

#include <QProcess>

bool startNewCopy(SingleInstance &guard, const QString &program, QString *error)
{
    guard.release();
    QProcess process;
    process.setProgram(program);
    if (process.startDetached())
        return true;
    if (error)
        *error = process.errorString();
    return false;
}
