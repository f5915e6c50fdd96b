#include "playlist/PlaylistModel.h"

#include "common/PathRules.h"
#include "playback/TitleSource.h"

#include <algorithm>

PlaylistModel::PlaylistModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void PlaylistModel::setTitleSource(TitleSource *titles)
{
    if (titles_)
        disconnect(titles_, nullptr, this, nullptr);
    titles_ = titles;
    if (titles_)
        connect(titles_, &TitleSource::titleKnown, this, &PlaylistModel::titleKnown);
    std::fill(known_.begin(), known_.end(), false);
    if (shownRows() > 0)
        Q_EMIT dataChanged(index(0), index(shownRows() - 1));
}

void PlaylistModel::setPaths(const QStringList &paths)
{
    paths_ = paths;
    zobrazit();
}

bool PlaylistModel::append(const QString &path)
{
    if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
        Q_EMIT entryRefused(path);
        return false;
    }
    paths_.append(path);
    return true;
}

void PlaylistModel::removeAt(int index)
{
    if (index < 0 || index >= count())
        return;
    const bool shown = index < shownRows();
    if (shown)
        beginRemoveRows(QModelIndex(), index, index);
    paths_.removeAt(index);
    if (shown) {
        names_.erase(names_.begin() + index);
        known_.erase(known_.begin() + index);
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
    paths_.move(from, to);
    const int first = std::min(from, to);
    const int last = std::max(from, to);
    if (shownRows() == n) {
        // The row goes with its path: as one remove and insert, the rows between shift by one.
        const int middle = from < to ? first + 1 : last;
        std::rotate(names_.begin() + first, names_.begin() + middle, names_.begin() + last + 1);
        std::rotate(known_.begin() + first, known_.begin() + middle, known_.begin() + last + 1);
        Q_EMIT dataChanged(index(first), index(last));
    } else if (first < shownRows()) {
        // Paths appended since the last rebuild are not shown yet: the shown rows that
        // now hold other paths make their names again.
        const int lastShown = std::min(last, shownRows() - 1);
        std::fill(known_.begin() + first, known_.begin() + lastShown + 1, false);
        Q_EMIT dataChanged(index(first), index(lastShown));
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
    std::vector<QString> keptNames;
    std::vector<bool> keptKnown;
    keptPaths.reserve(n);
    const bool shown = shownRows() == n;
    if (shown) {
        keptNames.reserve(static_cast<size_t>(n));
        keptKnown.reserve(static_cast<size_t>(n));
    }
    bool any = false;
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<size_t>(i);
        if (at < selected.size() && selected[at]) {
            any = true;
            continue;
        }
        keptPaths.append(paths_.at(i));
        if (shown) {
            keptNames.push_back(std::move(names_[at]));
            keptKnown.push_back(known_[at]);
        }
    }
    if (!any)
        return;
    beginResetModel();
    paths_ = std::move(keptPaths);
    if (shown) {
        names_ = std::move(keptNames);
        known_ = std::move(keptKnown);
    } else {
        // Not every path is shown yet: the rows keep their number (never more than the
        // paths) and make their names again.
        const auto rows = std::min(names_.size(), static_cast<size_t>(paths_.size()));
        names_.assign(rows, QString());
        known_.assign(rows, false);
    }
    endResetModel();
    Q_EMIT countChanged(count());
}

void PlaylistModel::zobrazit()
{
    beginResetModel();
    names_.assign(static_cast<size_t>(paths_.size()), QString());
    known_.assign(static_cast<size_t>(paths_.size()), false);
    endResetModel();
    Q_EMIT countChanged(count());
}

void PlaylistModel::setPlayingIndex(int index)
{
    const int old = playingIndex_;
    playingIndex_ = index;
    if (old >= 0 && old < shownRows())
        Q_EMIT dataChanged(this->index(old), this->index(old));
    if (index >= 0 && index < shownRows())
        Q_EMIT dataChanged(this->index(index), this->index(index));
    Q_EMIT playingIndexChanged(index);
}

int PlaylistModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownRows();
}

QString PlaylistModel::displayName(int index) const
{
    if (index < 0 || index >= shownRows())
        return {};
    const auto at = static_cast<size_t>(index);
    if (known_[at])
        return names_[at];
    const QString &path = paths_.at(index);
    if (!titles_ || path_rules::upperExtensionOf(path) != QLatin1String(".MP3")) {
        names_[at] = path_rules::fileNameOf(path);
        known_[at] = true;
        return names_[at];
    }
    const TagTitle tag = titles_->tagTitle(path);
    names_[at] = displayNameFor(path, tag);
    known_[at] = tag.state != TagTitle::State::Pending;
    return names_[at];
}

QVariant PlaylistModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= shownRows())
        return {};
    if (role == Qt::DisplayRole)
        return displayName(index.row());
    if (role == Qt::ToolTipRole && index.row() < paths_.size())
        return paths_.at(index.row());
    return {};
}

QString PlaylistModel::displayNameFor(const QString &path, const TagTitle &tag)
{
    if (tag.state == TagTitle::State::Tagged && path_rules::upperExtensionOf(path) == QLatin1String(".MP3"))
        return tag.title;
    return path_rules::fileNameOf(path);
}

void PlaylistModel::titleKnown(const QString &path)
{
    if (answered_.isEmpty())
        QMetaObject::invokeMethod(this, &PlaylistModel::refreshAnswered, Qt::QueuedConnection);
    answered_.insert(path);
}

void PlaylistModel::refreshAnswered()
{
    const QSet<QString> answered = std::exchange(answered_, {});
    // Every row of such a path asks again, also one that showed an older title.
    for (int row = 0; row < shownRows(); ++row) {
        if (answered.contains(paths_.at(row))) {
            known_[static_cast<size_t>(row)] = false;
            Q_EMIT dataChanged(index(row), index(row), {Qt::DisplayRole});
        }
    }
}
