#include "playlist/PlaylistView.h"

#include "playlist/PlaylistModel.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {

// WCAG's relative luminance of an sRGB colour.
double luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

constexpr double ReadableContrast = 4.5;
constexpr int AutoScrollMs = 50;

} // namespace

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

double PlaylistRowDelegate::contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor PlaylistRowDelegate::textColour(const QColor &preferred, const QColor &background)
{
    if (contrast(preferred, background) >= ReadableContrast)
        return preferred;
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    return contrast(black, background) >= contrast(white, background) ? black : white;
}

void PlaylistRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const bool playing = index.row() == model_.playingIndex();
    const QColor fill = background(playing, selected, option.palette.color(QPalette::Base));
    painter->fillRect(option.rect, fill);
    painter->setFont(option.font);
    // The fixed yellow, red and silver do not go with every theme's text colours.
    painter->setPen(textColour(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text), fill));
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(textColour(option.palette.color(QPalette::Text), fill), 1, Qt::DotLine));
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
    // Files come in by drag and drop; rows are moved by our own mouse handling.
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    setDropIndicatorShown(false); // dropped files join at the end
    viewport()->setAcceptDrops(true);
    autoScroll_.setInterval(AutoScrollMs);
    connect(&autoScroll_, &QTimer::timeout, this, &PlaylistView::scrollWhileDragging);
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

int PlaylistView::targetAt(const QPoint &viewportPos) const
{
    // Only the height matters: rows span the list. Above the list: its top row.
    const int y = std::clamp(viewportPos.y(), 0, std::max(0, viewport()->height() - 1));
    const QModelIndex at = indexAt(QPoint(1, y));
    return at.isValid() ? at.row() : -1;
}

QLine PlaylistView::dropIndicatorLine() const
{
    const int rows = model_.rowCount();
    int y = 0;
    if (dropTarget_ < 0 || dropTarget_ >= rows) {
        if (rows > 0)
            y = visualRect(model_.index(rows - 1)).bottom() + 1;
    } else {
        // Rows that all come from above land after the target row, others before it.
        const QRect r = visualRect(model_.index(dropTarget_));
        y = lastSelected_ < dropTarget_ ? r.bottom() + 1 : r.top();
    }
    y = std::clamp(y, 1, std::max(1, viewport()->height() - 1));
    return QLine(0, y, viewport()->width() - 1, y);
}

void PlaylistView::followPointer(const QPoint &viewportPos)
{
    lastPointer_ = viewportPos;
    dropTarget_ = targetAt(viewportPos);
    const bool outside = viewportPos.y() < 0 || viewportPos.y() >= viewport()->height();
    if (outside && !autoScroll_.isActive())
        autoScroll_.start();
    else if (!outside)
        autoScroll_.stop();
    viewport()->update();
}

void PlaylistView::scrollWhileDragging()
{
    if (!dragging_) {
        autoScroll_.stop();
        return;
    }
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->value() + (lastPointer_.y() < 0 ? -bar->singleStep() : bar->singleStep()));
    followPointer(lastPointer_);
}

void PlaylistView::endRowDrag()
{
    const bool was = dragging_;
    dragging_ = false;
    pressedRow_ = -1;
    autoScroll_.stop();
    if (was) {
        setState(NoState);
        viewport()->update();
    }
}

void PlaylistView::mousePressEvent(QMouseEvent *event)
{
    endRowDrag();
    const QPoint pos = event->position().toPoint();
    const QModelIndex at = indexAt(pos);
    const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (event->button() == Qt::LeftButton && at.isValid() && plain) {
        pressedRow_ = at.row();
        pressPos_ = pos;
        pressedSelected_ = selectionModel()->isSelected(at);
        if (pressedSelected_) {
            // The selection stays: the press may begin a drag of every selected row.
            selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
            setFocus(Qt::MouseFocusReason);
            event->accept();
            return;
        }
    }
    QListView::mousePressEvent(event);
}

void PlaylistView::mouseMoveEvent(QMouseEvent *event)
{
    if (pressedRow_ < 0 || !(event->buttons() & Qt::LeftButton)) {
        QListView::mouseMoveEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (!dragging_) {
        if ((pos - pressPos_).manhattanLength() < QApplication::startDragDistance()) {
            event->accept();
            return;
        }
        const std::vector<bool> flags = selectionFlags();
        lastSelected_ = -1;
        for (int i = int(flags.size()) - 1; i >= 0 && lastSelected_ < 0; --i)
            if (flags[size_t(i)])
                lastSelected_ = i;
        if (lastSelected_ < 0) { // nothing to move
            event->accept();
            return;
        }
        dragging_ = true;
    }
    followPointer(pos);
    event->accept();
}

void PlaylistView::mouseReleaseEvent(QMouseEvent *event)
{
    if (pressedRow_ >= 0 && event->button() == Qt::LeftButton) {
        const bool dropped = dragging_;
        const int target = dropTarget_;
        const int row = pressedRow_;
        const bool keptSelection = pressedSelected_;
        endRowDrag();
        if (dropped) {
            event->accept();
            if (rowsDropped)
                rowsDropped(target);
            return;
        }
        if (keptSelection) {
            // A click without a drag selects the row alone, as any list does.
            selectionModel()->setCurrentIndex(model_.index(row), QItemSelectionModel::ClearAndSelect);
            event->accept();
            return;
        }
    }
    QListView::mouseReleaseEvent(event);
}

void PlaylistView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The press before it may have kept a selection the base class did not see.
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && at.isValid()) {
        endRowDrag();
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
        event->accept();
        Q_EMIT doubleClicked(at);
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void PlaylistView::keyPressEvent(QKeyEvent *event)
{
    if (dragging_ && event->key() == Qt::Key_Escape) {
        endRowDrag();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void PlaylistView::focusOutEvent(QFocusEvent *event)
{
    // A drag does not outlive the pointer's grab (another window took it).
    if (dragging_ && event->reason() != Qt::PopupFocusReason)
        endRowDrag();
    QListView::focusOutEvent(event);
}

void PlaylistView::paintEvent(QPaintEvent *event)
{
    QListView::paintEvent(event);
    if (!dragging_)
        return;
    QPainter p(viewport());
    p.setPen(QPen(palette().color(QPalette::Text), 2));
    p.drawLine(dropIndicatorLine());
}

bool PlaylistView::acceptable(const QDropEvent *event) const
{
    return event->source() != this && event->mimeData()->hasUrls();
}

void PlaylistView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!acceptable(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PlaylistView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!acceptable(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void PlaylistView::dropEvent(QDropEvent *event)
{
    if (!acceptable(event)) {
        event->ignore();
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
