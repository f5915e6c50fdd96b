#pragma once
// The main window's seek bar: a QSlider that repaints on a value change only when the
// handle moves by at least a pixel. The playback tick sets the position every 100 ms in
// tenths of a second; on a bar 217 pixels wide a song of a few minutes moves the handle
// a pixel every second or so, and repainting the unchanged bar in between is waste.
// A left click on the groove puts the handle under the pointer and holds it there, as
// a press on the handle would: the release seeks.
//
// Threads: GUI thread only.
#include <QRect>
#include <QSlider>

class SeekSlider : public QSlider {
    Q_OBJECT
public:
    explicit SeekSlider(Qt::Orientation orientation, QWidget *parent = nullptr);

    // The handle as the style places it for the current value.
    QRect handleRect() const;
    // The value whose handle is centred on x (widget coordinates).
    int valueAt(int x) const;
    // Repaints asked for by value changes (tests count them).
    int valueRepaints() const { return valueRepaints_; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRect paintedHandle_; // the handle as last painted; null before the first paint
    int valueRepaints_ = 0;
};
