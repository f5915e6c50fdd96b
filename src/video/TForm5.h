#pragma once
// The video colour controls: a small panel floating over the video picture.
#include <QWidget>

class MainWindowLink;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(MainWindowLink &main);

    QLabel *Label[5] = {};
    QSlider *TrackBar[5] = {};
    QCheckBox *CheckBox1 = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void FormCreate();
    MainWindowLink &main_;
    QColor keyColour_{16, 0, 16};
};
