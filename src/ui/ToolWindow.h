#pragma once
// Base of the player's frameless windows: a title strip at the top that moves the
// window, optional resizing at the edges, and a close that hides the window through
// the main menu's toggle, so the item's check mark always tells the truth.
#include <QLabel>
#include <QWidget>

#include <functional>

class DragStrip : public QLabel {
    Q_OBJECT
public:
    explicit DragStrip(QWidget *window, QWidget *parent);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QWidget *window_;
    // Used where the platform cannot move the window for us (offscreen, some X servers).
    QPoint dragOffset_;
    bool manualDrag_ = false;
    bool resizing_ = false; // a press on the window's top edge, inside the strip
};

class ToolWindow : public QWidget {
    Q_OBJECT
public:
    // stripName is the object name of the title strip ("Panel1", or "Panel2" on the video window).
    ToolWindow(const QString &objectName, const QString &stripName, bool resizable, QWidget *parent = nullptr);

    DragStrip *strip() const { return strip_; }
    void setStripText(const QString &text);
    bool isResizable() const { return resizable_; }

    // What the window does when the user closes it (normally the main menu's toggle).
    void setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

    static constexpr int StripHeight = 17;
    // How far from its edges a resizable window can be grabbed; its contents keep clear.
    static constexpr int EdgeGrip = 6;

    // The edges under a point of the window (none for a window of fixed size).
    Qt::Edges edgesAt(const QPoint &pos) const;
    // Resizing from a press at globalPos: by the window manager where there is one,
    // else by hand with the pointer's moves (resizeWithPointer) until endResize.
    void beginResize(Qt::Edges edges, const QPoint &globalPos);
    void resizeWithPointer(const QPoint &globalPos);
    void endResize() { resizeEdges_ = {}; }
    bool resizingByHand() const { return resizeEdges_ != Qt::Edges(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showEdgeCursor(Qt::Edges edges);

    DragStrip *strip_;
    bool resizable_;
    std::function<void()> closeHandler_;
    Qt::Edges resizeEdges_;
    QPoint resizeStart_;
    QRect resizeGeometry_;
};
