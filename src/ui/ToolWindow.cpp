#include "ui/ToolWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QWindow>

#include <algorithm>
#include <utility>

DragStrip::DragStrip(QWidget *window, QWidget *parent)
    : QLabel(parent)
    , window_(window)
{
    setAutoFillBackground(true);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setFixedHeight(ToolWindow::StripHeight);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setContentsMargins(2, 0, 2, 0);
}

void DragStrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    // The strip covers the window's top edge: a press there resizes.
    auto *tool = qobject_cast<ToolWindow *>(window_);
    const Qt::Edges edges = tool ? tool->edgesAt(mapTo(tool, event->position().toPoint())) : Qt::Edges();
    if (edges) {
        resizing_ = true;
        tool->beginResize(edges, event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QWindow *handle = window_->windowHandle();
    manualDrag_ = !(handle && handle->startSystemMove());
    if (manualDrag_)
        dragOffset_ = event->globalPosition().toPoint() - window_->frameGeometry().topLeft();
    event->accept();
}

void DragStrip::mouseMoveEvent(QMouseEvent *event)
{
    if (resizing_ && (event->buttons() & Qt::LeftButton)) {
        if (auto *tool = qobject_cast<ToolWindow *>(window_); tool && tool->resizingByHand())
            tool->resizeWithPointer(event->globalPosition().toPoint());
        return;
    }
    if (manualDrag_ && (event->buttons() & Qt::LeftButton))
        window_->move(event->globalPosition().toPoint() - dragOffset_);
    else
        QLabel::mouseMoveEvent(event);
}

void DragStrip::mouseReleaseEvent(QMouseEvent *event)
{
    manualDrag_ = false;
    if (std::exchange(resizing_, false))
        if (auto *tool = qobject_cast<ToolWindow *>(window_))
            tool->endResize();
    QLabel::mouseReleaseEvent(event);
}

ToolWindow::ToolWindow(const QString &objectName, const QString &stripName, bool resizable, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , strip_(new DragStrip(this, this))
    , resizable_(resizable)
{
    setObjectName(objectName);
    strip_->setObjectName(stripName);
    strip_->setGeometry(0, 0, width(), StripHeight);
    if (resizable_)
        setMouseTracking(true);
}

void ToolWindow::setStripText(const QString &text)
{
    strip_->setText(text);
    // Task switchers show the window by its strip text.
    setWindowTitle(text);
}

void ToolWindow::closeEvent(QCloseEvent *event)
{
    if (closeHandler_) {
        // The toggle hides the window; the close itself never destroys it.
        event->ignore();
        closeHandler_();
        return;
    }
    QWidget::closeEvent(event);
}

Qt::Edges ToolWindow::edgesAt(const QPoint &pos) const
{
    Qt::Edges edges;
    if (!resizable_)
        return edges;
    if (pos.x() < EdgeGrip)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - EdgeGrip)
        edges |= Qt::RightEdge;
    if (pos.y() < EdgeGrip)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - EdgeGrip)
        edges |= Qt::BottomEdge;
    return edges;
}

void ToolWindow::beginResize(Qt::Edges edges, const QPoint &globalPos)
{
    resizeEdges_ = {};
    QWindow *handle = windowHandle();
    if (handle && handle->startSystemResize(edges))
        return;
    // No window manager to do it (or none that offers it): by hand, as the strip moves.
    resizeEdges_ = edges;
    resizeStart_ = globalPos;
    resizeGeometry_ = geometry();
}

void ToolWindow::resizeWithPointer(const QPoint &globalPos)
{
    if (!resizeEdges_)
        return;
    const QPoint d = globalPos - resizeStart_;
    const QSize least = minimumSize().expandedTo(QSize(1, 1));
    const QSize most = maximumSize();
    QRect g = resizeGeometry_;
    // Each moved edge stays within the minimum and maximum size, the opposite one fixed.
    if (resizeEdges_ & Qt::LeftEdge)
        g.setLeft(std::clamp(g.left() + d.x(), g.right() + 1 - std::min(most.width(), 1 << 24), g.right() + 1 - least.width()));
    if (resizeEdges_ & Qt::RightEdge)
        g.setRight(std::clamp(g.right() + d.x(), g.left() + least.width() - 1, g.left() + std::min(most.width(), 1 << 24) - 1));
    if (resizeEdges_ & Qt::TopEdge)
        g.setTop(std::clamp(g.top() + d.y(), g.bottom() + 1 - std::min(most.height(), 1 << 24), g.bottom() + 1 - least.height()));
    if (resizeEdges_ & Qt::BottomEdge)
        g.setBottom(std::clamp(g.bottom() + d.y(), g.top() + least.height() - 1, g.top() + std::min(most.height(), 1 << 24) - 1));
    setGeometry(g);
}

void ToolWindow::mousePressEvent(QMouseEvent *event)
{
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (edges && event->button() == Qt::LeftButton) {
        beginResize(edges, event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ToolWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && resizingByHand()) {
        endResize();
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void ToolWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (resizingByHand() && (event->buttons() & Qt::LeftButton)) {
        resizeWithPointer(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    showEdgeCursor(edgesAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void ToolWindow::showEdgeCursor(Qt::Edges edges)
{
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        setCursor(Qt::SizeFDiagCursor);
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        setCursor(Qt::SizeBDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        setCursor(Qt::SizeHorCursor);
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        setCursor(Qt::SizeVerCursor);
    else
        unsetCursor();
}

void ToolWindow::resizeEvent(QResizeEvent *event)
{
    strip_->setGeometry(0, 0, width(), StripHeight);
    QWidget::resizeEvent(event);
}

void ToolWindow::leaveEvent(QEvent *event)
{
    unsetCursor();
    QWidget::leaveEvent(event);
}
