#pragma once
// The internet radio window: station list, proxy, master volume bar and the three
// lines about the station playing.
#include "radio/StationStore.h"
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

class BarPopupMenu;
class ClickDragBar;
class MainWindowLink;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class RadioPlayer;

class TForm6 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    TForm6(MainWindowLink &main, RadioPlayer &radio);

    void writeSettings(IniFile &ini) const override;

    static const QString DefaultStation;

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
    BarPopupMenu *BcBarPopupMenu1 = nullptr;
    QAction *Odebrat1 = nullptr;
    QAction *Spustit1 = nullptr;

    void Button2Click();
    void Odebrat1Click();
    void ListBox1DblClick();
    // What the connection reports (its message codes), on the GUI thread.
    void WndProc(int code, quint32 number, const QString &text);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void loadStations();
    void saveStations();
    QStringList rows() const;

    MainWindowLink &main_;
    RadioPlayer &radio_;
    StationUrls stationUrls_;
    ProxySetting proxySetting_;
    QString labelBeforeReconnect_;
    bool listSafeToReplace_ = true;
};
