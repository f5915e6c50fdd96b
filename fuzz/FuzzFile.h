#pragma once
// The fuzzer's bytes as a file of the given name in a folder kept for the whole run.
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

inline QString fuzzInputAsFile(const char *name, const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    return path;
}
