#include "storage/ListStore.h"

#include "common/AtomicFile.h"
#include "storage/ListFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace {

using Status = ListStore::LoadResult::Status;

QString cannotCreate(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

QString cannotOpen(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

bool pathTaken(const QString &path)
{
    // A dangling symlink is taken too: renaming over it would replace the link.
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

ListStore::LoadResult unreadable(const QString &message)
{
    ListStore::LoadResult result;
    result.status = Status::Unreadable;
    result.error = message;
    result.safeToReplace = false;
    return result;
}

} // namespace

QString ListStore::asidePathFor(const QString &path, const QDateTime &when)
{
    const QString base = path + QStringLiteral(".damaged-")
                         + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = base;
    for (int n = 2; pathTaken(candidate); ++n)
        candidate = base + QLatin1Char('-') + QString::number(n);
    return candidate;
}

ListStore::LoadResult ListStore::loadList(const QString &path, bool createEmptyWhenMissing)
{
    LoadResult result;
    QFile file(path);
    if (!pathTaken(path)) {
        if (!createEmptyWhenMissing) {
            result.status = Status::Missing;
            return result;
        }
        // A zero-byte file has no half-written state; O_EXCL never replaces one that
        // appeared meanwhile.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            file.close();
            result.status = Status::CreatedEmpty;
            return result;
        }
        if (!pathTaken(path)) {
            LoadResult failed = unreadable(cannotCreate(path, file.errorString()));
            // Nothing is there to protect.
            failed.safeToReplace = true;
            return failed;
        }
    }

    if (!file.open(QIODevice::ReadOnly))
        return unreadable(cannotOpen(path, file.errorString()));
    const QByteArray stored = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return unreadable(cannotOpen(path, file.errorString()));
    file.close();

    QBuffer source;
    source.setData(stored);
    source.open(QIODevice::ReadOnly);
    QBuffer text;
    text.open(QIODevice::ReadWrite);
    if (list_file::DecompressStream(source, text)) {
        result.entries = list_file::textToList(text.data());
        if (list_file::hasTextAfterZero(text.data())) {
            // The next save would drop what follows the zero byte: keep the file as it is.
            result.status = Status::CutAtZero;
            const QString aside = asidePathFor(path, QDateTime::currentDateTime());
            if (QFile::copy(path, aside))
                result.movedAsidePath = aside;
            else
                result.safeToReplace = false; // nothing may overwrite the only copy
        }
        return result;
    }

    result.status = Status::Damaged;
    const QString aside = asidePathFor(path, QDateTime::currentDateTime());
    QFile damaged(path);
    if (damaged.rename(aside)) {
        result.movedAsidePath = aside;
    } else {
        result.error = damaged.errorString();
        result.safeToReplace = false;
    }
    return result;
}

bool ListStore::saveList(const QString &path, const QStringList &entries, QString *error)
{
    QBuffer text;
    text.setData(list_file::listToText(entries));
    text.open(QIODevice::ReadOnly);
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    if (!list_file::CompressStream(text, stream)) {
        if (error)
            *error = cannotCreate(path, QStringLiteral("Compression failed."));
        return false;
    }
    QString reason;
    if (!atomic_file::write(path, stream.data(), &reason)) {
        if (error)
            *error = cannotCreate(path, reason);
        return false;
    }
    return true;
}
