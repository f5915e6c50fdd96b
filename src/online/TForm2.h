#pragma once
// The settings window: language, font, shortcuts and the automatic update check, with
// the online services below: the update check, the problem report and the report board.
// Every request runs on the HTTP clients' threads; the window only starts them and
// shows their answers, so no request ever freezes it.
#include "online/OnlineRules.h"
#include "online/OnlineServices.h"
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

#include <QList>

#include <functional>
#include <memory>

class MainWindowLink;
class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

class TForm2 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    explicit TForm2(MainWindowLink &main, const OnlineServices &services = {});
    ~TForm2() override;

    void writeSettings(IniFile &ini) const override;

    // Runs action once the update check of start-up has answered (or at once when none
    // runs): a found release then keeps the first play from starting. A check that
    // hangs answers after its time-outs.
    void whenUpdateCheckAnswered(std::function<void()> action);

    void Button1Click(); // update check
    void Button2Click(); // font
    void Button3Click(); // send a report
    void Timer1Timer();  // report board poll
    void Ulozit1Click(); // save the shortcuts
    void ComboBox1Click(int index);

    // The font dialog's design font: Arial 14 points, bold, underlined, struck out.
    static QFont designFont();

    QProgressBar *Gauge1 = nullptr;
    QPushButton *Button1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QPushButton *Button2 = nullptr;
    QTableWidget *ValueListEditor1 = nullptr;
    QListWidget *ListBox1 = nullptr; // hidden: the lines of update.txt
    QListWidget *ListBox2 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *Button3 = nullptr;
    QTimer *Timer1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *Ulozit1 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    std::unique_ptr<HttpClient> makeClient();
    void releaseFileArrived(const HttpResult &result);
    void setupArrived(const HttpResult &result, const QString &path, const QByteArray &sha256);
    void updateCheckAnswered();
    QString noServerText() const;

    MainWindowLink &main_;
    OnlineServices services_;
    CookieJar cookies_;
    online::Servers servers_;
    std::unique_ptr<HttpClient> update_;
    std::unique_ptr<HttpClient> report_;
    std::unique_ptr<HttpClient> board_;
    bool checkAwaited_ = false;
    bool downloading_ = false;  // the setup program downloads: Button1 cancels it
    QStringList boardRows_;     // what the board shows
    QList<std::function<void()>> whenAnswered_;
};
