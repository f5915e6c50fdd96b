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

protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    Qt::Edges edgesAt(const QPoint &pos) const;

    DragStrip *strip_;
    bool resizable_;
    std::function<void()> closeHandler_;
};
