#pragma once
// The playlist's display list (ListBox3): owner-drawn rows, extended selection,
// files dropped from the file manager, rows dragged to a new place.
#include <QListView>
#include <QStyledItemDelegate>

#include <functional>

class PlaylistModel;

// Row colours: playing and selected yellow, playing red, selected silver, else the
// window background. Text at the row's top-left corner, no margin.
class PlaylistRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    PlaylistRowDelegate(const PlaylistModel &model, QObject *parent);
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static QColor background(bool playing, bool selected, const QColor &windowColour);
    static constexpr int RowHeight = 13;

private:
    const PlaylistModel &model_;
};

class PlaylistView : public QListView {
    Q_OBJECT
public:
    PlaylistView(PlaylistModel &model, QWidget *parent);

    // Selection flags of every row, in row order.
    std::vector<bool> selectionFlags() const;
    void setSelectionFlags(const std::vector<bool> &flags);
    // The row with the keyboard focus; 0 in a list with rows and no current row.
    int focusedRow() const;

    // Files dropped from outside, in delivery order (already local paths).
    std::function<void(const QStringList &)> filesDropped;
    // Rows dragged inside the list and dropped on target (-1 below the last row).
    std::function<void(int target)> rowsDropped;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    bool acceptable(const QDropEvent *event) const;
    PlaylistModel &model_;
};
