#include "video/TForm5.h"

#include "settings/LineTable.h"
#include "ui/MainWindowLink.h"

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
    int value;
    int ticks;
    const char *caption;
};
constexpr SliderSpec sliders[5] = {{0, 0, 0, 0, 0, ""},
                                   {8, 0, 10000, 750, 1000, "Brightness"},
                                   {48, 0, 20000, 10000, 2000, "Contrast"},
                                   {88, -180, 180, 0, 36, "Hue"},
                                   {128, 0, 20000, 10000, 2000, "Saturation"}};
} // namespace

TForm5::TForm5(MainWindowLink &main)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , main_(main)
{
    setObjectName(QStringLiteral("Form5"));
    setFixedSize(173, 239);
    for (int i = 1; i <= 4; ++i) {
        const SliderSpec &s = sliders[i];
        Label[i] = new QLabel(QString::fromLatin1(s.caption), this);
        Label[i]->setObjectName(QStringLiteral("Label%1").arg(i));
        Label[i]->move(16, s.top);
        TrackBar[i] = new QSlider(Qt::Horizontal, this);
        TrackBar[i]->setObjectName(QStringLiteral("TrackBar%1").arg(i));
        TrackBar[i]->setGeometry(8, s.top + 16, 150, 25);
        TrackBar[i]->setRange(s.minimum, s.maximum);
        TrackBar[i]->setValue(s.value);
        TrackBar[i]->setTickInterval(s.ticks);
        TrackBar[i]->setTickPosition(QSlider::TicksBelow);
    }
    CheckBox1 = new QCheckBox(QStringLiteral("Utilized colors"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(16, 175, 97, 17);
    CheckBox1->setChecked(true);
    Button1 = new QPushButton(QStringLiteral("Reset to Default"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(16, 200, 145, 25);
    // The colour balance of the picture comes with the video work; until then the
    // controls show their neutral values and cannot be moved.
    for (int i = 1; i <= 4; ++i)
        TrackBar[i]->setEnabled(false);
    CheckBox1->setEnabled(false);
    Button1->setEnabled(false);
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

void TForm5::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), keyColour_);
    p.setPen(QPen(QColor(0, 255, 0), 3));
    p.setBrush(keyColour_);
    p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 12, 12);
}
