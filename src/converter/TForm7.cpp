#include "converter/TForm7.h"

#include "common/PathRules.h"
#include "converter/ConverterWorker.h"
#include "platform/CdTableReader.h"
#include "platform/CdTracks.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "ui/Dialogs.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QThread>

namespace {

// Selector entries, dialog descriptions and extension lines of the five types.
struct TypeRow {
    ConversionType type;
    int entryLine;
    int descriptionLine;
    int patternLine;
};
constexpr TypeRow kTypes[] = {
    {ConversionType::AudioFile, 37, 34, 2}, {ConversionType::Wma, 38, 39, 3}, {ConversionType::CdTrack, 40, 41, 4},
    {ConversionType::Flac, 42, 43, 5},      {ConversionType::WavToMp3, 44, 45, 6},
};

} // namespace

TForm7::TForm7(MainWindowLink &main)
    : ToolWindow(QStringLiteral("Form7"), QStringLiteral("Panel1"), false)
    , main_(main)
    , cdTables_(std::make_unique<CdTableReader>())
{
    resize(420, 330);
    ComboBox1 = new QComboBox(this);
    placeControl(ComboBox1, "ComboBox1", 8, 24, 404, 22);
    ComboBox1->setEditable(true);
    ListBox1 = new QListWidget(this);
    placeControl(ListBox1, "ListBox1", 8, 52, 404, 160);
    Edit1 = new QLineEdit(this);
    placeControl(Edit1, "Edit1", 8, 218, 404, 21);
    Button1 = new QPushButton(QStringLiteral("Pridat"), this);
    placeControl(Button1, "Button1", 8, 245, 198, 27);
    Button2 = new QPushButton(QStringLiteral("Start"), this);
    placeControl(Button2, "Button2", 214, 245, 198, 27);
    Gauge1 = new QProgressBar(this);
    placeControl(Gauge1, "Gauge1", 8, 280, 404, 18);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge2 = new QProgressBar(this);
    placeControl(Gauge2, "Gauge2", 8, 304, 404, 18);
    Gauge2->setRange(0, 1);
    Gauge2->setValue(0);
    FormCreate();

    thread_ = new QThread(this);
    thread_->setObjectName(QStringLiteral("converter"));
    worker_ = new ConverterWorker;
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &ConverterWorker::fileProgress, this, &TForm7::LameCoder1Progress);
    connect(worker_, &ConverterWorker::beginFile, this, &TForm7::LameCoder1BeginFile);
    connect(worker_, &ConverterWorker::jobsDone, Gauge2, &QProgressBar::setValue);
    connect(worker_, &ConverterWorker::problem, this, [this](const QString &text) { problems_.append(text); });
    connect(worker_, &ConverterWorker::finished, this, &TForm7::runEnded);
    thread_->start();

    connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm7::Button2Click);
    // Escape stops a run, as the Start button does while it reads "Zastavit".
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("StopShortcut"));
    connect(escape, &QShortcut::activated, this, [this] {
        if (running_)
            stopRun();
    });
    connect(ComboBox1, &QComboBox::currentTextChanged, this, &TForm7::ComboBox1Change);
}

TForm7::~TForm7()
{
    // The selector clears its text while the children go, after this object is gone.
    disconnect(ComboBox1, nullptr, this, nullptr);
    worker_->cancel();
    thread_->quit();
    // Every open is without waiting and every block short, so the cancel is seen at
    // once; a read stuck on a dead mount is left behind rather than holding the exit.
    if (!thread_->wait(3000)) {
        thread_->setParent(nullptr);
        disconnect(worker_, nullptr, this, nullptr);
    }
}

void TForm7::FormCreate()
{
    main_.registerWindow(WindowId::Converter, this, this);
    const IniFile ini(main_.settingsPath());
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI7"), *this, QSize());
    if (visible)
        main_.performToggle(WindowId::Converter);
    const LineTable &lines = main_.languageLines();
    setStripText(lines.line(33, QStringLiteral("Konvertor")));
    Button1->setText(lines.line(35, Button1->text()));
    Button2->setText(lines.line(36, Button2->text()));
    for (const TypeRow &row : kTypes)
        ComboBox1->addItem(lines.line(row.entryLine));
    ComboBox1->setEditText(lines.line(37));
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
}

void TForm7::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI7"), *this, false);
}

std::optional<ConversionType> TForm7::currentType() const
{
    const QString text = ComboBox1->currentText();
    for (const TypeRow &row : kTypes)
        if (main_.languageLines().line(row.entryLine) == text)
            return row.type;
    return std::nullopt;
}

void TForm7::ComboBox1Change()
{
    ListBox1->clear();
    // Tracks still being looked for belong to the list just cleared.
    cdTables_->drop();
}

void TForm7::Button1Click()
{
    const std::optional<ConversionType> type = currentType();
    // One look for CD tracks at a time.
    if (type == ConversionType::CdTrack && cdTables_->isBusy()) {
        main_.dialogs().beep();
        return;
    }
    for (const TypeRow &row : kTypes)
        if (type && row.type == *type)
            openFilter_ = main_.languageLines().line(row.descriptionLine) + QLatin1Char('|')
                          + main_.extensionLines().line(row.patternLine);
    const QStringList files = main_.dialogs().getOpenFileNames(this, openFilter_);
    if (!files.isEmpty())
        Edit1->setText(path_rules::directoryOf(files.last()));
    if (type == ConversionType::CdTrack) {
        addCdTracks(files);
        return;
    }
    ListBox1->addItems(files);
}

// A CD has no track files: the tracks of every drive holding an audio disc and of
// the chosen .cue images are offered in a chooser, and join the list as
// <source>/TrackNN.cda. Track names chosen in the dialog join as they are. The tables
// are read off the GUI thread; everything joins when they are known.
void TForm7::addCdTracks(const QStringList &chosen)
{
    QStringList images;
    QStringList names;
    for (const QString &file : chosen) {
        if (cd_tracks::isCueImage(file))
            images.append(file);
        else
            names.append(file);
    }
    cdTables_->read(images, true, [this, names](const QList<CdTableReader::Table> &tables) {
        addCdTables(names, tables);
    });
}

void TForm7::addCdTables(QStringList names, const QList<CdTableReader::Table> &tables)
{
    QStringList rows;
    QStringList paths;
    QStringList unreadable;
    for (const CdTableReader::Table &table : tables) {
        if (table.tracks.isEmpty())
            unreadable.append(table.source + QStringLiteral(" (") + table.error + QLatin1Char(')'));
        for (const cd_tracks::Track &t : table.tracks) {
            rows.append(path_rules::fileNameOf(table.source) + QStringLiteral("   ") + cd_tracks::describe(t));
            paths.append(cd_tracks::trackPath(table.source, t.number));
        }
    }
    if (!unreadable.isEmpty())
        main_.dialogs().showMessage(this, QStringLiteral("Stopy nelze načíst: ") + unreadable.join(QStringLiteral(", ")));
    if (!rows.isEmpty())
        for (int i : main_.dialogs().chooseRows(this, main_.languageLines().line(41), rows))
            if (i >= 0 && i < paths.size())
                names.append(paths[i]);
    ListBox1->addItems(names);
}

void TForm7::Button2Click()
{
    // During a run the button stops it.
    if (running_) {
        stopRun();
        return;
    }
    QStringList jobs;
    for (int i = 0; i < ListBox1->count(); ++i)
        jobs.append(ListBox1->item(i)->text());
    // An empty list shows 0 of 1: a 0..0 bar would turn into a busy indicator.
    Gauge2->setRange(0, qMax(1, int(jobs.size())));
    Gauge2->setValue(0);
    const std::optional<ConversionType> type = currentType();
    if (!type) {
        main_.dialogs().showMessage(
            this, QStringLiteral("Typ převodu „%1“ neznám, nic nebylo převedeno.").arg(ComboBox1->currentText()));
        return;
    }
    // An empty folder text would put the outputs wherever the program was started.
    if (!jobs.isEmpty() && Edit1->text().trimmed().isEmpty()) {
        main_.dialogs().showMessage(this, QStringLiteral("Není zadána výstupní složka, nic nebylo převedeno."));
        return;
    }
    running_ = true;
    problems_.clear();
    Gauge1->setValue(0);
    Button2->setText(QStringLiteral("Zastavit"));
    worker_->clearCancel();
    QMetaObject::invokeMethod(worker_, "run", Qt::QueuedConnection, Q_ARG(int, int(*type)), Q_ARG(QStringList, jobs),
                              Q_ARG(QString, Edit1->text()));
}

void TForm7::LameCoder1BeginFile(int Num)
{
    Gauge2->setValue(Num);
}

void TForm7::LameCoder1Progress(int PercentComplete)
{
    Gauge1->setValue(PercentComplete);
}

void TForm7::stopRun()
{
    // The worker sees the flag after its current block; the unfinished output goes.
    worker_->cancel();
}

void TForm7::runEnded()
{
    running_ = false;
    Button2->setText(main_.languageLines().line(36, QStringLiteral("Start")));
    if (!problems_.isEmpty())
        main_.dialogs().showMessage(this, problems_.join(QLatin1Char('\n')));
    problems_.clear();
    Q_EMIT runFinished();
}
