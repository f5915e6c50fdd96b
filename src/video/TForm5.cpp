#include "video/TForm5.h"

#include "settings/LineTable.h"
#include "ui/Dialogs.h"
#include "ui/MainWindowLink.h"
#include "video/VideoSurface.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>

namespace {
struct SliderSpec {
    int top;
    int minimum;
    int maximum;
    int ticks;
    const char *caption;
};
constexpr SliderSpec sliders[5] = {{0, 0, 0, 0, ""},
                                   {8, 0, 10000, 1000, "Brightness"},
                                   {48, 0, 20000, 2000, "Contrast"},
                                   {88, -180, 180, 36, "Hue"},
                                   {128, 0, 20000, 2000, "Saturation"}};
} // namespace

TForm5::TForm5(MainWindowLink &main, VideoSurface &surface)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , main_(main)
    , surface_(surface)
    , keyColour_(VideoSurface::keyColour())
{
    setObjectName(QStringLiteral("Form5"));
    setFixedSize(173, 239);
    // Light captions: the panel's background is the dark key colour.
    QPalette light = palette();
    light.setColor(QPalette::WindowText, Qt::white);
    setPalette(light);
    for (int i = 1; i <= 4; ++i) {
        const SliderSpec &s = sliders[i];
        Label[i] = new QLabel(QString::fromLatin1(s.caption), this);
        Label[i]->setObjectName(QStringLiteral("Label%1").arg(i));
        Label[i]->move(16, s.top);
        TrackBar[i] = new QSlider(Qt::Horizontal, this);
        TrackBar[i]->setObjectName(QStringLiteral("TrackBar%1").arg(i));
        TrackBar[i]->setGeometry(8, s.top + 16, 150, 25);
        TrackBar[i]->setRange(s.minimum, s.maximum);
        TrackBar[i]->setTickInterval(s.ticks);
        TrackBar[i]->setTickPosition(QSlider::TicksBelow);
        TrackBar[i]->setPageStep(s.ticks);
        TrackBar[i]->setStyleSheet(QStringLiteral("QSlider::handle:horizontal { width: 10px; }"));
        connect(TrackBar[i], &QSlider::valueChanged, this, [this, i](int value) { TrackBarChange(i, value); });
    }
    CheckBox1 = new QCheckBox(QStringLiteral("Utilized colors"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(16, 175, 97, 17);
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm5::CheckBox1Click);
    Button1 = new QPushButton(QStringLiteral("Reset to Default"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(16, 200, 145, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    GetValues();
    FormCreate();
}

void TForm5::FormCreate()
{
    const LineTable &lines = main_.languageLines();
    for (int i = 1; i <= 4; ++i)
        Label[i]->setText(lines.line(7 + i, Label[i]->text()));
    for (int i = 1; i <= 4; ++i)
        Label[i]->adjustSize();
    CheckBox1->setText(lines.line(12, CheckBox1->text()));
    Button1->setText(lines.line(13, Button1->text()));
    setWindowTitle(lines.line(7, QStringLiteral("Video")));
}

QPoint TForm5::centredOver(const QRect &s, QSize window)
{
    return QPoint(s.left() + s.width() / 2 - window.width() / 2, s.top() + s.height() / 2 - window.height() / 2);
}

void TForm5::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TForm5::FormShow()
{
    keyColour_ = VideoSurface::keyColour();
    const QRect onScreen(surface_.mapToGlobal(QPoint(0, 0)), surface_.size());
    move(centredOver(onScreen, size()));
    GetValues();
    update();
}

void TForm5::GetValues()
{
    const ColorSettings values = surface_.colors();
    CheckBox1->setChecked(values.ColorEnable);
    TrackBar[4]->setValue(values.Saturation);
    TrackBar[3]->setValue(values.Hue);
    TrackBar[2]->setValue(values.Contrast);
    TrackBar[1]->setValue(values.Brightness);
}

void TForm5::TrackBarChange(int number, int value)
{
    try {
        switch (number) {
        case 1:
            surface_.setBrightness(value);
            break;
        case 2:
            surface_.setContrast(value);
            break;
        case 3:
            surface_.setHue(value);
            break;
        case 4:
            surface_.setSaturation(value);
            break;
        default:
            break;
        }
    } catch (const ColorRangeError &error) {
        // The sliders' ranges are the settings' ranges; kept for a changed range.
        main_.dialogs().showMessage(this, error.message(), QString());
    }
}

void TForm5::CheckBox1Click(bool checked)
{
    surface_.setColorEnable(checked);
}

void TForm5::Button1Click()
{
    surface_.resetColors();
    GetValues();
}

void TForm5::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), keyColour_);
    p.setPen(QPen(QColor(0, 255, 0), 3));
    p.setBrush(keyColour_);
    p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 12, 12);
}
