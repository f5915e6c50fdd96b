#pragma once
// The video colour controls: a small panel floating over the video picture. It keeps
// no values of its own: the sliders show and write the video surface's settings.
#include <QWidget>

class MainWindowLink;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class VideoSurface;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    TForm5(MainWindowLink &main, VideoSurface &surface);

    // The panel's top left corner so that it lies centred over the surface's screen
    // rectangle (halves rounded toward zero).
    static QPoint centredOver(const QRect &surfaceOnScreen, QSize window);

    QLabel *Label[5] = {};
    QSlider *TrackBar[5] = {};
    QCheckBox *CheckBox1 = nullptr;
    QPushButton *Button1 = nullptr;

    void GetValues();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void TrackBarChange(int number, int value);
    void CheckBox1Click(bool checked);
    void Button1Click();

    MainWindowLink &main_;
    VideoSurface &surface_;
    QColor keyColour_;
};
