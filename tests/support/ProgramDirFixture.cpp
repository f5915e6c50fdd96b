#include "support/ProgramDirFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {
void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        if (it.fileInfo().isDir())
            QDir().mkpath(to + QLatin1Char('/') + rel);
        else
            QFile::copy(src, to + QLatin1Char('/') + rel);
    }
}
} // namespace

ProgramDirFixture::ProgramDirFixture()
{
    for (const char *sub : {"jazyky", "zkratky", "koncovky"})
        copyTree(sourceDir() + QStringLiteral("/data/") + QLatin1String(sub), path() + QLatin1String(sub));
}

QString ProgramDirFixture::sourceDir()
{
    return qEnvironmentVariable("TARNEL_SOURCE_DIR", QStringLiteral(TARNEL_TEST_SOURCE_DIR));
}

QString ProgramDirFixture::distDir()
{
    return qEnvironmentVariable("TARNEL_DIST_DIR");
}

void ProgramDirFixture::writeFile(const QString &name, const QByteArray &bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray ProgramDirFixture::readFile(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString ProgramDirFixture::installProgram() const
{
    const QString target = file(QStringLiteral("tarnel"));
    QFile::copy(distDir() + QStringLiteral("/tarnel"), target);
    QFile::copy(distDir() + QStringLiteral("/tarnel.svg"), file(QStringLiteral("tarnel.svg")));
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return target;
}
