#pragma once
// The settings window: language, font, shortcuts and the automatic update check,
// with the controls of the online services below.
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

class MainWindowLink;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;

class TForm2 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    explicit TForm2(MainWindowLink &main);

    void writeSettings(IniFile &ini) const override;

    QProgressBar *Gauge1 = nullptr;
    QPushButton *Button1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QPushButton *Button2 = nullptr;
    QTableWidget *ValueListEditor1 = nullptr;
    QListWidget *ListBox2 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *Button3 = nullptr;

private:
    void FormCreate();
    MainWindowLink &main_;
};
