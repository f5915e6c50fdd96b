#pragma once
// A progress bar used as a slider: a press sets the position from the pointer
// (x times a factor), a move while pressed follows it. One dragging flag is shared
// by every such bar of the program: a press on one and a release over another
// still ends the drag.
#include <QProgressBar>

class ClickDragBar : public QProgressBar {
    Q_OBJECT
public:
    ClickDragBar(const QString &objectName, int maximum, int pixelFactor, QWidget *parent = nullptr);

    static bool sliderDragging();
    static void setSliderDragging(bool dragging);

    int pixelFactor() const { return factor_; }
    // x in pixels from the bar's left edge -> position, kept within the range.
    int positionForX(int x) const;

Q_SIGNALS:
    // The bar's position is to be applied (press, and every move over the bar).
    void applied(int position);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int factor_;
};
