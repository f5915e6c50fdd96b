#pragma once
// The converter window: a list of files turned into WAV or MP3 files, with a gauge
// for the current file and one for the whole list.
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

class MainWindowLink;
class QComboBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

class TForm7 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    explicit TForm7(MainWindowLink &main);

    void writeSettings(IniFile &ini) const override;

    QListWidget *ListBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QProgressBar *Gauge1 = nullptr;
    QProgressBar *Gauge2 = nullptr;

private:
    void FormCreate();
    MainWindowLink &main_;
};
