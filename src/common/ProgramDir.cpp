#include "common/ProgramDir.h"

#include <QFile>
#include <QFileInfo>

namespace program_dir {

QString executablePath()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString ofExecutable()
{
    QString dir = QFileInfo(executablePath()).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace program_dir
