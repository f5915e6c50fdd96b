#pragma once
// The playlist's display list (ListBox3): owner-drawn rows, extended selection,
// files dropped from the file manager, rows dragged to a new place.
#include <QListView>
#include <QStyledItemDelegate>
#include <QTimer>

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
    // The preferred text colour when it reads well on the background (contrast of at
    // least 4.5:1), otherwise black or white, whichever contrasts more.
    static QColor textColour(const QColor &preferred, const QColor &background);
    static double contrast(const QColor &a, const QColor &b);
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

    // While rows are dragged: where they would land (the row under the pointer, -1
    // below the last row) and the line that shows it, in viewport coordinates.
    bool rowDragActive() const { return dragging_; }
    int dropTarget() const { return dropTarget_; }
    QLine dropIndicatorLine() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool acceptable(const QDropEvent *event) const;
    int targetAt(const QPoint &viewportPos) const;
    void followPointer(const QPoint &viewportPos);
    void endRowDrag();
    void scrollWhileDragging();

    PlaylistModel &model_;
    // The row drag is ours, not a QDrag: it needs no window manager or drag protocol,
    // and the press on a selected row keeps the selection.
    int pressedRow_ = -1;
    bool pressedSelected_ = false;
    QPoint pressPos_;
    bool dragging_ = false;
    int dropTarget_ = -1;
    int lastSelected_ = -1; // the lowest selected row when the drag began
    QPoint lastPointer_;
    QTimer autoScroll_;
};
