#include "common/ProgramDir.h"

#include "common/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

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

QStringList rewrittenFiles()
{
    return {QStringLiteral("nastaveni.ini"), QStringLiteral("playlist.st3"), QStringLiteral("radia.st3"),
            QStringLiteral("update.txt"), QStringLiteral("zkratky/zkratky.txt")};
}

QString stateDir(const QString &programDir)
{
    if (::access(QFile::encodeName(programDir).constData(), W_OK | X_OK) == 0)
        return programDir;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !config.startsWith(QLatin1Char('/')))
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString dir = config + QStringLiteral("/tarnel/");
    QDir().mkpath(config);
    ::mkdir(QFile::encodeName(dir).constData(), 0700);
    ::mkdir(QFile::encodeName(dir + QStringLiteral("zkratky")).constData(), 0700);
    for (const QString &name : rewrittenFiles()) {
        // Only what is not there yet: the user's own copies always win.
        if (QFileInfo::exists(dir + name))
            continue;
        QFile shipped(programDir + name);
        if (shipped.open(QIODevice::ReadOnly))
            atomic_file::write(dir + name, shipped.readAll());
    }
    return dir;
}

} // namespace program_dir
