#include "playlist/PlaylistModel.h"

#include "common/PathRules.h"
#include "playlist/ID3v1.h"

#include <QFileInfo>

PlaylistModel::PlaylistModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void PlaylistModel::setPaths(const QStringList &paths)
{
    paths_ = paths;
    zobrazit();
}

void PlaylistModel::append(const QString &path)
{
    paths_.append(path);
}

void PlaylistModel::removeAt(int index)
{
    if (index < 0 || index >= count())
        return;
    const bool shown = index < display_.size();
    if (shown)
        beginRemoveRows(QModelIndex(), index, index);
    paths_.removeAt(index);
    if (shown) {
        display_.removeAt(index);
        endRemoveRows();
    }
    Q_EMIT countChanged(count());
}

void PlaylistModel::move(int from, int to)
{
    const int n = count();
    if (from < 0 || from >= n || from == to)
        return;
    // "to" past the end means: append at the end.
    if (to < 0 || to >= n)
        to = n - 1;
    if (from == to)
        return;
    const QString path = paths_.takeAt(from);
    paths_.insert(to, path);
    if (display_.size() == n) {
        const QString name = display_.takeAt(from);
        display_.insert(to, name);
        const int first = std::min(from, to);
        const int last = std::max(from, to);
        Q_EMIT dataChanged(index(first), index(last));
    }
}

void PlaylistModel::moveSelected(std::vector<bool> &selected, int target)
{
    selected.resize(static_cast<size_t>(count()), false);
    int index = count() - 1;
    while (index >= 0) {
        if (selected[static_cast<size_t>(index)] && index != target) {
            move(index, target);
            const size_t to = target < 0 ? selected.size() - 1 : static_cast<size_t>(target);
            selected.erase(selected.begin() + index);
            selected.insert(selected.begin() + static_cast<std::ptrdiff_t>(to), false);
            continue; // the same index now holds another entry
        }
        --index;
    }
}

void PlaylistModel::removeSelected(const std::vector<bool> &selected)
{
    // One pass, so that deleting most of a long list does not shift it row by row.
    const int n = count();
    QStringList keptPaths;
    QStringList keptNames;
    keptPaths.reserve(n);
    keptNames.reserve(n);
    const bool shown = display_.size() == n;
    bool any = false;
    for (int i = 0; i < n; ++i) {
        if (static_cast<size_t>(i) < selected.size() && selected[static_cast<size_t>(i)]) {
            any = true;
            continue;
        }
        keptPaths.append(paths_.at(i));
        if (shown)
            keptNames.append(display_.at(i));
    }
    if (!any)
        return;
    beginResetModel();
    paths_ = std::move(keptPaths);
    if (shown)
        display_ = std::move(keptNames);
    endResetModel();
    Q_EMIT countChanged(count());
}

void PlaylistModel::zobrazit()
{
    beginResetModel();
    display_.clear();
    display_.reserve(paths_.size());
    for (const QString &p : std::as_const(paths_))
        display_.append(cachedDisplayName(p));
    endResetModel();
    Q_EMIT countChanged(count());
}

void PlaylistModel::setPlayingIndex(int index)
{
    const int old = playingIndex_;
    playingIndex_ = index;
    if (old >= 0 && old < display_.size())
        Q_EMIT dataChanged(this->index(old), this->index(old));
    if (index >= 0 && index < display_.size())
        Q_EMIT dataChanged(this->index(index), this->index(index));
    Q_EMIT playingIndexChanged(index);
}

int PlaylistModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(display_.size());
}

QVariant PlaylistModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= display_.size())
        return {};
    if (role == Qt::DisplayRole)
        return display_.at(index.row());
    if (role == Qt::ToolTipRole && index.row() < paths_.size())
        return paths_.at(index.row());
    return {};
}

QString PlaylistModel::displayNameFor(const QString &path)
{
    const QString name = path_rules::fileNameOf(path);
    if (path_rules::upperExtensionOf(path) != QLatin1String(".MP3"))
        return name;
    TID3v1 tag;
    if (tag.ReadFromPath(path) && tag.HasTag)
        return tag.displayTitle();
    return name;
}

QString PlaylistModel::cachedDisplayName(const QString &path)
{
    if (path_rules::upperExtensionOf(path) != QLatin1String(".MP3"))
        return path_rules::fileNameOf(path);
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : -1;
    const qint64 mtime = info.exists() ? info.lastModified().toMSecsSinceEpoch() : 0;
    auto it = titleCache_.find(path);
    if (it != titleCache_.end() && it->size == size && it->mtime == mtime)
        return it->name;
    const QString name = displayNameFor(path);
    titleCache_.insert(path, CachedTitle{size, mtime, name});
    return name;
}
