#pragma once
// The internet radio window: station list, proxy, master volume bar and the three
// lines about the station playing.
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

class ClickDragBar;
class MainWindowLink;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TForm6 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    explicit TForm6(MainWindowLink &main);

    void writeSettings(IniFile &ini) const override;

    QGroupBox *GroupBox2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QLineEdit *ed_ProxyServer = nullptr;
    QLabel *Label6 = nullptr;
    QCheckBox *cbDirectConnection = nullptr;
    QPushButton *Button1 = nullptr;
    ClickDragBar *ProgressBar1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *Button2 = nullptr;

private:
    void FormCreate();
    MainWindowLink &main_;
};
