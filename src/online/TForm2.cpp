#include "online/TForm2.h"

#include "common/TextCodec.h"
#include "settings/Colour.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "settings/Shortcuts.h"
#include "ui/Dialogs.h"
#include "ui/MainWindowLink.h"
#include "ui/Placement.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

namespace {
const QString ExceptionCaption = QStringLiteral("Výjimka");
} // namespace

TForm2::TForm2(MainWindowLink &main, const OnlineServices &services)
    : ToolWindow(QStringLiteral("Form2"), QStringLiteral("Panel1"), false)
    , main_(main)
    , services_(services)
{
    resize(618, 490);
    Gauge1 = new QProgressBar(this);
    placeControl(Gauge1, "Gauge1", 0, 17, 618, 24);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Button1 = new QPushButton(QStringLiteral("Aktualizace"), this);
    placeControl(Button1, "Button1", 8, 48, 145, 33);
    CheckBox1 = new QCheckBox(QStringLiteral("Automaticky"), this);
    placeControl(CheckBox1, "CheckBox1", 8, 88, 185, 25);
    ComboBox1 = new QComboBox(this);
    placeControl(ComboBox1, "ComboBox1", 8, 112, 145, 21);
    Button2 = new QPushButton(QStringLiteral("Font"), this);
    placeControl(Button2, "Button2", 8, 152, 145, 33);
    ValueListEditor1 = new QTableWidget(0, 2, this);
    placeControl(ValueListEditor1, "ValueListEditor1", 8, 192, 306, 81);
    ValueListEditor1->verticalHeader()->hide();
    ValueListEditor1->horizontalHeader()->setStretchLastSection(true);
    ValueListEditor1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->hide();
    ListBox2 = new QListWidget(this);
    placeControl(ListBox2, "ListBox2", 8, 280, 601, 145);
    ListBox2->setUniformItemSizes(true); // one line each: no row is measured by itself
    Edit1 = new QLineEdit(this);
    placeControl(Edit1, "Edit1", 8, 432, 121, 21);
    Edit2 = new QLineEdit(this);
    placeControl(Edit2, "Edit2", 8, 456, 521, 21);
    Button3 = new QPushButton(QStringLiteral("Odeslat"), this);
    placeControl(Button3, "Button3", 536, 456, 75, 25);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Ulozit1 = PopupMenu1->addAction(QStringLiteral("Ulozit"));
    Ulozit1->setObjectName(QStringLiteral("Ulozit1"));
    // The shortcut works while the settings window has the focus.
    Ulozit1->setShortcutContext(Qt::WindowShortcut);
    addAction(Ulozit1);
    connect(Ulozit1, &QAction::triggered, this, &TForm2::Ulozit1Click);
    connect(ValueListEditor1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu1->popup(ValueListEditor1->viewport()->mapToGlobal(at)); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
    connect(ComboBox1, &QComboBox::activated, this, &TForm2::ComboBox1Click);

    update_ = makeClient();
    report_ = makeClient();
    board_ = makeClient();
    FormCreate();
    Timer1->start();
}

TForm2::~TForm2() = default;

std::unique_ptr<HttpClient> TForm2::makeClient()
{
    auto client = std::make_unique<CurlHttpClient>(cookies_, services_.limits, services_.networkCheck);
    // Every transfer of every service on the one gauge; it keeps its last state.
    connect(client.get(), &HttpClient::workBegin, Gauge1, [this](qint64 expected) {
        // An unknown size (0) keeps the last state: a maximum of 0 would make the bar an
        // endless animation that costs CPU for as long as a request waits.
        if (expected > 0)
            Gauge1->setRange(0, int(std::min<qint64>(expected, INT_MAX)));
    });
    connect(client.get(), &HttpClient::work, Gauge1, [this](qint64 count) {
        if (Gauge1->maximum() > 0)
            Gauge1->setValue(int(std::min<qint64>(count, Gauge1->maximum())));
    });
    return client;
}

void TForm2::FormCreate()
{
    main_.registerWindow(WindowId::Settings, this, this);
    const IniFile ini(main_.settingsPath());
    servers_ = online::Servers::fromSettings(ini);
    const bool visible = placement::read(ini, QStringLiteral("NASTAVENI2"), *this, QSize());
    const bool autoUpdate = ini.readBool(QStringLiteral("NASTAVENI2"), QStringLiteral("Aktualizace"), true);
    applyMainFont(*this, main_.mainFont(), main_.mainFontColour());
    if (visible)
        main_.performToggle(WindowId::Settings);
    if (autoUpdate) {
        // Without an update server configured the check at start is silently off.
        if (!servers_.update.isEmpty())
            Button1Click();
        CheckBox1->setChecked(true);
    }
    const LineTable &shortcuts = main_.shortcutLines();
    Ulozit1->setShortcut(shortcutFromText(shortcuts.line(1)));

    const LineTable &lines = main_.languageLines();
    setStripText(lines.line(0, QStringLiteral("Nastaveni")));
    Button1->setText(lines.line(1, Button1->text()));
    CheckBox1->setText(lines.line(3, CheckBox1->text()));
    Button2->setText(lines.line(4, Button2->text()));
    Ulozit1->setText(lines.line(22, Ulozit1->text()));
    ValueListEditor1->setHorizontalHeaderLabels({lines.line(21, QStringLiteral("Akce")), lines.line(20, QStringLiteral("Zkratka"))});
    Edit1->setText(lines.line(77, Edit1->text()));
    Button3->setText(lines.line(78, Button3->text()));

    const QString rows[2][2] = {
        {lines.line(19), shortcuts.line(0)},
        {lines.line(22) + QLatin1Char(',') + lines.line(6), shortcuts.line(1)},
    };
    ValueListEditor1->setUpdatesEnabled(false);
    ValueListEditor1->setRowCount(0);
    ValueListEditor1->setRowCount(2);
    for (int r = 0; r < 2; ++r) {
        auto *key = new QTableWidgetItem(rows[r][0]);
        key->setFlags(key->flags() & ~Qt::ItemIsEditable);
        ValueListEditor1->setItem(r, 0, key);
        ValueListEditor1->setItem(r, 1, new QTableWidgetItem(rows[r][1]));
    }
    ValueListEditor1->setUpdatesEnabled(true);

    // A missing list gives an empty one: the current code still shows and can be kept.
    LineTable codes;
    codes.load(LanguageTables::languageListPath(main_.programDir()));
    ComboBox1->addItems(codes.lines());
    ComboBox1->setEditable(true);
    ComboBox1->setEditText(main_.languageCode());
}

void TForm2::writeSettings(IniFile &ini) const
{
    placement::write(ini, QStringLiteral("NASTAVENI2"), *this, false);
    ini.writeBool(QStringLiteral("NASTAVENI2"), QStringLiteral("Aktualizace"), CheckBox1->isChecked());
}

void TForm2::resizeEvent(QResizeEvent *event)
{
    // FormCanResize: the check box follows the window's width.
    CheckBox1->resize(event->size().width() - 10, CheckBox1->height());
    ToolWindow::resizeEvent(event);
}

QString TForm2::noServerText() const
{
    return main_.languageLines().line(79, QStringLiteral("Server pro tuto službu není nastaven."));
}

void TForm2::whenUpdateCheckAnswered(std::function<void()> action)
{
    if (!action)
        return;
    if (checkAwaited_)
        whenAnswered_.append(std::move(action));
    else
        action();
}

void TForm2::updateCheckAnswered()
{
    checkAwaited_ = false;
    const QList<std::function<void()>> actions = std::exchange(whenAnswered_, {});
    for (const auto &action : actions)
        action();
}

void TForm2::Button1Click()
{
    // While the setup program downloads, the button cancels the download.
    if (downloading_) {
        update_->cancel();
        return;
    }
    if (servers_.update.isEmpty()) {
        main_.dialogs().showMessage(this, noServerText());
        return;
    }
    HttpRequest request;
    request.url = online::serviceUrl(servers_.update, QStringLiteral("/tarnel/update.txt"));
    request.saveTo = LanguageTables::updateFilePath(main_.stateDir());
    request.checkNetwork = true;
    // A small text file: anything longer is no release file, and must not fill the disk.
    request.maxBytes = services_.maxReleaseFileBytes;
    // Random bytes or a captive portal's page do not replace the kept update.txt.
    request.digest = [caption = main_.mainCaption(),
                      notARelease = main_.languageLines().line(90, QStringLiteral("Soubor update.txt nepopisuje vydání."))](
                         const QByteArray &body, QString *refusal) {
        const QStringList lines = text_codec::decodeLines(body);
        if (online::compareRelease(caption, lines) == online::Release::NotARelease)
            *refusal = notARelease;
        return lines;
    };
    // One check at a time: a press during a check is refused.
    if (!update_->start(request, [this](const HttpResult &r) { releaseFileArrived(r); })) {
        main_.dialogs().beep();
        return;
    }
    checkAwaited_ = true;
}

void TForm2::releaseFileArrived(const HttpResult &result)
{
    Dialogs &dialogs = main_.dialogs();
    if (result.outcome == HttpResult::Outcome::Skipped || result.outcome == HttpResult::Outcome::Cancelled) {
        updateCheckAnswered();
        return;
    }
    if (result.outcome == HttpResult::Outcome::Failed) {
        updateCheckAnswered();
        dialogs.showMessage(this, result.error);
        return;
    }
    const QStringList &lines = result.rows;
    ListBox1->clear();
    ListBox1->addItems(lines);
    const LineTable &text = main_.languageLines();
    switch (online::compareRelease(main_.mainCaption(), lines)) {
    case online::Release::Unreadable:
    case online::Release::NotARelease: // refused on the request's thread already
        updateCheckAnswered();
        dialogs.showMessage(this, text.line(81, QStringLiteral("Soubor update.txt ze serveru je prázdný.")));
        return;
    case online::Release::Same:
        main_.setUpdateFound(false);
        updateCheckAnswered();
        dialogs.showMessage(this, text.line(2));
        return;
    case online::Release::Different:
        break;
    }
    main_.setUpdateFound(true);
    updateCheckAnswered();
    const QString filter = text.line(5) + QLatin1Char('|') + main_.extensionLines().line(0);
    const QString path = dialogs.getSaveFileName(this, filter, QStringLiteral("tarnelsetup.exe"));
    if (path.isEmpty())
        return;
    HttpRequest request;
    request.url = online::serviceUrl(servers_.update, QStringLiteral("/tarnel/tarnelsetup.exe"));
    request.saveTo = path;
    request.maxBytes = services_.maxSetupBytes;
    request.deadlineSeconds = services_.setupDeadlineSeconds;
    const QByteArray sha256 = online::expectedSha256(lines);
    if (!update_->start(request, [this, path, sha256](const HttpResult &r) { setupArrived(r, path, sha256); }))
        return;
    downloading_ = true;
    Button1->setText(text.line(91, QStringLiteral("Zrušit stahování")));
}

void TForm2::setupArrived(const HttpResult &result, const QString &path, const QByteArray &sha256)
{
    downloading_ = false;
    Button1->setText(main_.languageLines().line(1, QStringLiteral("Aktualizace")));
    Dialogs &dialogs = main_.dialogs();
    if (result.outcome == HttpResult::Outcome::Cancelled)
        return; // nothing was kept: the file is only written when complete
    if (result.outcome != HttpResult::Outcome::Done) {
        dialogs.showMessage(this, result.error);
        return;
    }
    // A release file with a digest is a promise: a download that breaks it is not run.
    if (!sha256.isEmpty() && !online::fileHasSha256(path, sha256)) {
        QFile::remove(path);
        dialogs.showMessage(this, main_.languageLines().line(
                                      80, QStringLiteral("Stažený soubor neodpovídá kontrolnímu součtu; byl smazán a nespustí se.")));
        return;
    }
    QString error;
    if (!services_.opener || !services_.opener->open(path, &error)) {
        dialogs.showMessage(this, error.isEmpty() ? path : error);
        return;
    }
    main_.closeProgram();
}

void TForm2::Button3Click()
{
    if (servers_.report.isEmpty()) {
        main_.dialogs().showMessage(this, noServerText());
        return;
    }
    HttpRequest request;
    request.method = HttpRequest::Method::PostForm;
    request.url = online::serviceUrl(servers_.report, QStringLiteral("/problemy2.php"));
    const QString message = Edit2->text();
    request.body = online::encodeForm({QStringLiteral("jmeno=") + Edit1->text(), QStringLiteral("zprava=") + message});
    request.maxBytes = 64 * 1024; // the answer is read and ignored
    // The message stays in its field until the server has taken it: a refused report
    // (an error status, a time-out, no server) can be sent again. A report still on its
    // way: this one waits in the field.
    if (!report_->start(request, [this, message](const HttpResult &r) {
            if (r.outcome == HttpResult::Outcome::Done) {
                if (Edit2->text() == message) // not what the user typed since
                    Edit2->clear();
                return;
            }
            if (r.outcome == HttpResult::Outcome::Failed)
                main_.dialogs().showMessage(nullptr, r.error, ExceptionCaption);
        })) {
        main_.dialogs().beep();
        return;
    }
}

void TForm2::Timer1Timer()
{
    // A tick while the last poll is still open is skipped.
    if (servers_.report.isEmpty() || !isActiveWindow() || board_->busy())
        return;
    HttpRequest request;
    request.method = HttpRequest::Method::PostForm;
    request.url = online::serviceUrl(servers_.report, QStringLiteral("/problemy.php"));
    request.checkNetwork = true;
    // The newest reports come first: a board beyond the cap loses its oldest ones. It is
    // split and decoded on the request's thread, and only the rows shown come back.
    request.maxBytes = services_.maxBoardBytes;
    request.cutAtLimit = true;
    request.digest = [](const QByteArray &body, QString *) { return online::boardRows(body); };
    board_->start(request, [this](const HttpResult &r) {
        if (r.outcome == HttpResult::Outcome::Skipped || r.outcome == HttpResult::Outcome::Cancelled)
            return;
        if (r.outcome == HttpResult::Outcome::Failed)
            main_.dialogs().showMessage(nullptr, r.error, ExceptionCaption);
        // The same board again (the usual answer every 5 s) is not laid out again.
        if (r.rows == boardRows_)
            return;
        boardRows_ = r.rows;
        ListBox2->clear();
        ListBox2->addItems(boardRows_);
    });
}

QFont TForm2::designFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(14);
    font.setBold(true);
    font.setUnderline(true);
    font.setStrikeOut(true);
    return font;
}

void TForm2::Button2Click()
{
    // The dialog opens with its design font every time, not with the font in use.
    QFont font = designFont();
    const quint32 windowText = 0xFF000008; // clWindowText
    const QColor designColour = colour::toQColor(windowText);
    QColor chosen = designColour;
    if (!main_.dialogs().chooseFont(this, font, chosen))
        return;
    int size = qRound(font.pointSizeF());
    if (size <= 0)
        size = qRound(font.pixelSize() * 72.0 / 96.0);
    const quint32 colourValue = chosen == designColour ? windowText : colour::fromQColor(chosen);
    IniFile ini(main_.settingsPath());
    const QString s = QStringLiteral("NASTAVENI1");
    ini.writeString(s, QStringLiteral("FTyp"), font.family());
    ini.writeInteger(s, QStringLiteral("FVelikost"), size);
    ini.writeColour(s, QStringLiteral("FBarva"), colourValue);
    ini.save(); // a settings file that cannot be written loses the choice, silently
    // Face, size and colour only: the dialog's style and character set stay behind.
    QFont applied(font.family());
    applied.setPointSize(size);
    main_.applyChosenFont(applied, colour::toQColor(colourValue));
}

void TForm2::Ulozit1Click()
{
    LineTable &shortcuts = main_.shortcutLines();
    const auto value = [this](int row) {
        const QTableWidgetItem *item = ValueListEditor1->item(row, 1);
        return item ? item->text() : QString();
    };
    shortcuts.setLine(0, value(0));
    shortcuts.setLine(1, value(1));
    QString error;
    if (!shortcuts.save(LanguageTables::shortcutFilePath(main_.stateDir()), &error))
        main_.dialogs().showMessage(this, error);
    main_.setDeleteShortcut(shortcutFromText(shortcuts.line(0)));
    Ulozit1->setShortcut(shortcutFromText(shortcuts.line(1)));
}

void TForm2::ComboBox1Click(int index)
{
    // Also the language in use: the program starts again with it.
    main_.restartWithLanguage(ComboBox1->itemText(index));
}
