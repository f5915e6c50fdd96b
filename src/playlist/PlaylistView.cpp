#include "playlist/PlaylistView.h"

#include "playlist/PlaylistModel.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace {
const char *const RowDragMime = "application/x-tarnel-playlist-rows";
}

PlaylistRowDelegate::PlaylistRowDelegate(const PlaylistModel &model, QObject *parent)
    : QStyledItemDelegate(parent)
    , model_(model)
{
}

QColor PlaylistRowDelegate::background(bool playing, bool selected, const QColor &windowColour)
{
    if (playing && selected)
        return QColor(255, 255, 0);
    if (playing)
        return QColor(255, 0, 0);
    if (selected)
        return QColor(192, 192, 192);
    return windowColour;
}

void PlaylistRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const bool playing = index.row() == model_.playingIndex();
    painter->fillRect(option.rect, background(playing, selected, option.palette.color(QPalette::Base)));
    painter->setFont(option.font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
}

QSize PlaylistRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), std::max(RowHeight, option.fontMetrics.height()));
}

PlaylistView::PlaylistView(PlaylistModel &model, QWidget *parent)
    : QListView(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("ListBox3"));
    setModel(&model_);
    setItemDelegate(new PlaylistRowDelegate(model_, this));
    // Every row has the same height: the view then lays out and paints only what shows.
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(2000);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    viewport()->setAcceptDrops(true);
}

std::vector<bool> PlaylistView::selectionFlags() const
{
    std::vector<bool> flags(static_cast<size_t>(model_.rowCount()), false);
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    for (const QModelIndex &i : rows)
        if (i.row() >= 0 && static_cast<size_t>(i.row()) < flags.size())
            flags[static_cast<size_t>(i.row())] = true;
    return flags;
}

void PlaylistView::setSelectionFlags(const std::vector<bool> &flags)
{
    QItemSelection selection;
    int start = -1;
    const int n = std::min<int>(model_.rowCount(), static_cast<int>(flags.size()));
    for (int i = 0; i <= n; ++i) {
        const bool on = i < n && flags[static_cast<size_t>(i)];
        if (on && start < 0)
            start = i;
        if (!on && start >= 0) {
            selection.select(model_.index(start), model_.index(i - 1));
            start = -1;
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int PlaylistView::focusedRow() const
{
    const QModelIndex current = currentIndex();
    if (current.isValid())
        return current.row();
    return 0;
}

bool PlaylistView::acceptable(const QDropEvent *event) const
{
    if (event->source() == this && event->mimeData()->hasFormat(QLatin1String(RowDragMime)))
        return true;
    return event->source() != this && event->mimeData()->hasUrls();
}

void PlaylistView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!acceptable(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(event->source() == this ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
}

void PlaylistView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!acceptable(event)) {
        event->ignore();
        return;
    }
    QListView::dragMoveEvent(event);
    event->setDropAction(event->source() == this ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
}

void PlaylistView::dropEvent(QDropEvent *event)
{
    if (!acceptable(event)) {
        event->ignore();
        return;
    }
    if (event->source() == this) {
        const QModelIndex at = indexAt(event->position().toPoint());
        event->setDropAction(Qt::CopyAction); // the rows are moved here, not removed by the drag
        event->accept();
        if (rowsDropped)
            rowsDropped(at.isValid() ? at.row() : -1);
        return;
    }
    QStringList files;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    event->acceptProposedAction();
    if (filesDropped)
        filesDropped(files);
}

void PlaylistView::startDrag(Qt::DropActions)
{
    if (selectionModel()->selectedIndexes().isEmpty())
        return;
    auto *drag = new QDrag(this);
    auto *mime = new QMimeData;
    mime->setData(QLatin1String(RowDragMime), QByteArray());
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}
