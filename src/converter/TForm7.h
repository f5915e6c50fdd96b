#pragma once
// The converter window: a list of files turned into WAV or MP3 files, with a gauge
// for the current file and one for the whole list. The conversion itself runs on a
// worker thread (ConverterWorker); the window starts it and shows its progress.
#include "platform/CdTableReader.h"
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

#include <QStringList>

#include <memory>
#include <optional>

class ConverterWorker;
class MainWindowLink;
class QComboBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QThread;
enum class ConversionType;

class TForm7 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    explicit TForm7(MainWindowLink &main);
    // Cancels a run in progress and waits for the worker: its output is removed.
    // During a run the Start button (then "Zastavit") and Escape stop it the same way.
    ~TForm7() override;

    void writeSettings(IniFile &ini) const override;

    bool isRunning() const { return running_; }
    // The type whose selector entry equals the text exactly; none for any other text.
    std::optional<ConversionType> currentType() const;

    QListWidget *ListBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QProgressBar *Gauge1 = nullptr;
    QProgressBar *Gauge2 = nullptr;

Q_SIGNALS:
    // A run ended (all jobs, or cancelled); its problems have been shown.
    void runFinished();

private:
    void FormCreate();
    void Button1Click();
    void Button2Click();
    void ComboBox1Change();
    void LameCoder1BeginFile(int Num);
    void LameCoder1Progress(int PercentComplete);
    void addCdTracks(const QStringList &chosen);
    void addCdTables(QStringList names, const QList<CdTableReader::Table> &tables);
    void stopRun();
    void runEnded();

    MainWindowLink &main_;
    QThread *thread_ = nullptr;
    ConverterWorker *worker_ = nullptr;
    bool running_ = false;
    QString openFilter_;
    QStringList problems_;
    // Tables of drives and images, read off the GUI thread; a second look while one
    // runs is refused with a beep.
    std::unique_ptr<CdTableReader> cdTables_;
};
