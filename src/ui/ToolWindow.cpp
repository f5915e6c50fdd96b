#include "ui/ToolWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QWindow>

namespace {
constexpr int EdgeGrip = 4;
}

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
    QWindow *handle = window_->windowHandle();
    manualDrag_ = !(handle && handle->startSystemMove());
    if (manualDrag_)
        dragOffset_ = event->globalPosition().toPoint() - window_->frameGeometry().topLeft();
    event->accept();
}

void DragStrip::mouseMoveEvent(QMouseEvent *event)
{
    if (manualDrag_ && (event->buttons() & Qt::LeftButton))
        window_->move(event->globalPosition().toPoint() - dragOffset_);
    else
        QLabel::mouseMoveEvent(event);
}

void DragStrip::mouseReleaseEvent(QMouseEvent *event)
{
    manualDrag_ = false;
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

void ToolWindow::mousePressEvent(QMouseEvent *event)
{
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (edges && event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemResize(edges);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ToolWindow::mouseMoveEvent(QMouseEvent *event)
{
    const Qt::Edges edges = edgesAt(event->position().toPoint());
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
    QWidget::mouseMoveEvent(event);
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
