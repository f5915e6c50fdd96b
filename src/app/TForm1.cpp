#include "app/TForm1.h"

#include "common/AtomicFile.h"
#include "common/PathRules.h"
#include "common/ProgramDir.h"
#include "common/TextCodec.h"
#include "playlist/PlaylistModel.h"
#include "settings/Colour.h"
#include "settings/IniFile.h"
#include "storage/ListStore.h"
#include "system/Associations.h"
#include "ui/ClickDragBar.h"
#include "ui/Dialogs.h"
#include "ui/ImageList.h"
#include "ui/Placement.h"
#include "ui/StoredWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QSlider>
#include <QTranslator>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

TForm1::TForm1(const QString &programDir, Dialogs &dialogs, const ImageList &images, PlaylistModel &playlist,
               const SystemServices &services, QWidget *parent)
    : ToolWindow(QStringLiteral("Form1"), QStringLiteral("Panel1"), false, parent)
    , programDir_(programDir)
    , stateDir_(program_dir::stateDir(programDir))
    , services_(services)
    , dialogs_(dialogs)
    , images_(images)
    , playlist_(playlist)
{
    QFont designFont(QStringLiteral("MS Sans Serif"));
    designFont.setPointSize(8);
    setFont(designFont);
    setFixedSize(217, 190);

    auto label = [this](const char *name, int x, int y, const QString &text) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        l->resize(217 - x, 16);
        return l;
    };
    Label1 = label("Label1", 0, 24, QStringLiteral("0:00:00"));
    Label2 = label("Label2", 0, 40, QString());
    Label3 = label("Label3", 0, 64, QString());
    Label3->setTextFormat(Qt::PlainText);
    Label1->setTextFormat(Qt::PlainText);
    Label2->setTextFormat(Qt::PlainText);

    auto button = [this](const char *name, int left) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoRaise(true);
        b->setGeometry(left, 88, 23, 22);
        b->setIconSize(QSize(16, 16));
        return b;
    };
    SpeedButton4 = button("SpeedButton4", 8);
    SpeedButton1 = button("SpeedButton1", 32);
    SpeedButton3 = button("SpeedButton3", 56);
    SpeedButton2 = button("SpeedButton2", 80);
    SpeedButton5 = button("SpeedButton5", 112);

    DSTrackBar1 = new SeekSlider(Qt::Horizontal, this);
    DSTrackBar1->setObjectName(QStringLiteral("DSTrackBar1"));
    DSTrackBar1->setGeometry(0, 117, 217, 36);
    DSTrackBar1->setRange(0, 0);

    ProgressBar1 = new ClickDragBar(QStringLiteral("ProgressBar1"), 10000, 50, this);
    ProgressBar1->setGeometry(8, 160, 200, 17);

    refusalTimer_ = new QTimer(this);
    refusalTimer_->setSingleShot(true);
    refusalTimer_->setInterval(300); // a burst of starts, one after another
    connect(refusalTimer_, &QTimer::timeout, this, &TForm1::showRefusedHandOffs);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    Timer1->setTimerType(Qt::CoarseTimer); // a marquee step may come 10 ms late
    connect(Timer1, &QTimer::timeout, this, &TForm1::RotateTitle);

    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate()
{
    // The codec filters of the Windows build have no counterpart: GStreamer's
    // plug-ins come installed with the system.
    setStripText(caption());
    buildMenu();
    // Saves killed half-way (power cut, kill -9) leave their temporary files behind.
    for (const QString &name : program_dir::rewrittenFiles()) {
        const QFileInfo file(stateDir_ + name);
        atomic_file::removeStaleTemporaries(file.path(), {file.fileName()});
    }
    loadStoredPlaylist();
    barLook_.caption = caption();
    barLook_.first = QColor(255, 0, 0);
    barLook_.second = QColor(0, 0, 0);
    menu_->setLook(barLook_);

    const IniFile ini(settingsPath());
    readSettings(ini);
    tables_.load(programDir_, languageCode_, stateDir_);
    loadQtTranslations();
    applyCaptions();
    // The file associations, rewritten at every start (the MIME database on the side).
    if (services_.associations)
        services_.associations->rewrite();

    SpeedButton4->setIcon(images_.icon(6));
    SpeedButton1->setIcon(images_.icon(1));
    SpeedButton3->setIcon(images_.icon(5));
    SpeedButton2->setIcon(images_.icon(4));
    SpeedButton5->setIcon(images_.icon(7));
    updateMarquee(); // started by a title too wide for the window
}

void TForm1::loadQtTranslations()
{
    // A code is a language name ("cs", "pt_BR"), never a path.
    static const QRegularExpression code(QStringLiteral("^[A-Za-z]{2,3}(_[A-Za-z]{2})?$"));
    if (!code.match(languageCode_).hasMatch())
        return;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qt_") + languageCode_,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return; // English, or the translations are not installed
    QCoreApplication::installTranslator(translator.get());
    qtTranslator_ = std::move(translator);
}

void TForm1::loadStoredPlaylist()
{
    const QString path = stateDir_ + QStringLiteral("playlist.st3");
    const ListStore::LoadResult result = ListStore::loadList(path, true);
    playlistSafeToReplace_ = result.safeToReplace;
    memo1_ = result.entries;
    if (result.status == ListStore::LoadResult::Status::Damaged) {
        const QString text = result.movedAsidePath.isEmpty()
            ? QStringLiteral("Soubor se seznamem skladeb \"%1\" je poškozený a nelze jej načíst (%2). "
                             "Seznam začíná prázdný; soubor zůstává beze změny.")
                  .arg(path, result.error)
            : QStringLiteral("Soubor se seznamem skladeb \"%1\" je poškozený a nelze jej načíst. "
                             "Byl uschován jako \"%2\"; seznam začíná prázdný.")
                  .arg(path, result.movedAsidePath);
        // Told once, after the windows are up.
        QTimer::singleShot(0, this, [this, text] { dialogs_.showMessage(this, text); });
    } else if (result.status == ListStore::LoadResult::Status::CutAtZero) {
        const QString text = result.movedAsidePath.isEmpty()
            ? QStringLiteral("Soubor se seznamem skladeb \"%1\" obsahuje nulový bajt; načteny jsou jen položky před ním. "
                             "Soubor zůstává beze změny.").arg(path)
            : QStringLiteral("Soubor se seznamem skladeb \"%1\" obsahuje nulový bajt; načteny jsou jen položky před ním. "
                             "Celý soubor byl uschován jako \"%2\".").arg(path, result.movedAsidePath);
        QTimer::singleShot(0, this, [this, text] { dialogs_.showMessage(this, text); });
    } else if (result.status == ListStore::LoadResult::Status::Unreadable) {
        const QString text = QStringLiteral("Soubor se seznamem skladeb \"%1\" nelze přečíst: %2").arg(path, result.error);
        QTimer::singleShot(0, this, [this, text] { dialogs_.showMessage(this, text); });
    }
}

void TForm1::readSettings(const IniFile &ini)
{
    const QString s = QStringLiteral("NASTAVENI1");
    languageCode_ = ini.readString(s, QStringLiteral("Jazyk"), QStringLiteral("cs"));
    setFixedSize(217, 190);
    placement::moveTo(*this, ini.readInteger(s, QStringLiteral("ZLeva"), 0), ini.readInteger(s, QStringLiteral("ZHora"), 0));
    QFont f(ini.readString(s, QStringLiteral("FTyp"), QStringLiteral("Arial")));
    f.setPointSize(std::clamp(ini.readInteger(s, QStringLiteral("FVelikost"), 8), 4, 72)); // readable
    quint32 colourValue = 0;
    if (!colour::fromString(QStringLiteral("clblack"), colourValue))
        colourValue = 0;
    colourValue = ini.readColour(s, QStringLiteral("FBarva"), colourValue);
    fontColour_ = colour::toQColor(colourValue);
    applyMainFont(*this, f, fontColour_);
    showElapsed_ = ini.readBool(s, QStringLiteral("Cas"), true);
    ProgressBar1->setValue(std::clamp(ini.readInteger(s, QStringLiteral("Volume"), 5000), 0, 10000));
}

void TForm1::writeOwnSettings(IniFile &ini) const
{
    const QString s = QStringLiteral("NASTAVENI1");
    ini.writeInteger(s, QStringLiteral("Sirka"), width());
    ini.writeInteger(s, QStringLiteral("Vyska"), height());
    placement::writePosition(ini, s, *this);
    ini.writeString(s, QStringLiteral("Jazyk"), languageCode_);
    ini.writeBool(s, QStringLiteral("Cas"), showElapsed_);
    ini.writeInteger(s, QStringLiteral("Volume"), ProgressBar1->value());
    ini.writeString(s, QStringLiteral("FTyp"), font().family());
    ini.writeInteger(s, QStringLiteral("FVelikost"), font().pointSize());
    ini.writeColour(s, QStringLiteral("FBarva"), colour::fromQColor(fontColour_));
}

void TForm1::registerWindow(WindowId id, QWidget *window, StoredWindow *stored)
{
    Registered &r = windows_[id];
    r.window = window;
    r.stored = stored;
    // Closing a window by the system hides it through its toggle item.
    if (auto *tool = qobject_cast<ToolWindow *>(window))
        tool->setCloseHandler([this, id] { performToggle(id); });
    if (!creationOrder_.contains(id))
        creationOrder_.append(id);
}

void TForm1::performToggle(WindowId id)
{
    auto it = windows_.find(id);
    if (it == windows_.end() || !it->window)
        return;
    const bool visible = !it->window->isVisible();
    minimised_.forget(it->window);
    it->window->setVisible(visible);
    if (it->toggle)
        it->toggle->setChecked(visible);
}

bool TForm1::isToggleChecked(WindowId id) const
{
    auto it = windows_.find(id);
    return it != windows_.end() && it->toggle && it->toggle->isChecked();
}

void TForm1::applyChosenFont(const QFont &font, const QColor &colour)
{
    fontColour_ = colour;
    applyMainFont(*this, font, colour);
    for (WindowId id : {WindowId::Settings, WindowId::Video, WindowId::Playlist, WindowId::Radio}) {
        auto it = windows_.find(id);
        if (it != windows_.end() && it->window)
            applyMainFont(*it->window, font, colour);
    }
}

void TForm1::setDeleteShortcut(const QKeySequence &sequence)
{
    auto it = windows_.find(WindowId::Playlist);
    if (it == windows_.end() || !it->window)
        return;
    if (auto *item = it->window->findChild<QAction *>(QStringLiteral("vymazat1")))
        item->setShortcut(sequence);
}

void TForm1::restartWithLanguage(const QString &code)
{
    // The new copy starts only after this one has saved and let go of the guard (the
    // program's main does that once the close path has run): started earlier, it would
    // meet the guard, hand its empty argument over and end.
    languageCode_ = code;
    restartRequested_ = true;
    close();
}

namespace {
constexpr int kLineNameHasLineBreak = 88;
} // namespace

void TForm1::receiveHandOff(const QByteArray &pathBytes)
{
    // The path travels as bytes up to its terminating zero; file names are bytes on Linux.
    const qsizetype zero = pathBytes.indexOf('\0');
    const QString path = text_codec::decodeFileName(zero < 0 ? pathBytes : pathBytes.left(zero));
    // The stored playlist holds one name a line: such a name is refused, and a burst of
    // them (each start a hand-off of its own) shares one box.
    if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
        refusedHandOffs_.append(path);
        if (!refusalBoxOpen_)
            refusalTimer_->start();
    } else if (!path.isEmpty() && path_rules::isAcceptedForHandOff(path)) {
        playlist_.append(path);
    }
    playlist_.zobrazit();
}

void TForm1::showRefusedHandOffs()
{
    if (refusedHandOffs_.isEmpty() || refusalBoxOpen_)
        return;
    QStringList names;
    for (QString name : std::as_const(refusedHandOffs_))
        names.append(name.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QLatin1Char('\n'), QStringLiteral("\\n")));
    refusedHandOffs_.clear();
    // Names that come while the box is open wait for it and share the next one.
    refusalBoxOpen_ = true;
    dialogs_.showMessage(this, tables_.language.line(kLineNameHasLineBreak, QStringLiteral("The file name holds a line break:"))
                                   + QLatin1Char('\n') + names.join(QLatin1Char('\n')));
    refusalBoxOpen_ = false;
    if (!refusedHandOffs_.isEmpty())
        refusalTimer_->start();
}

void TForm1::setTitleText(const QString &text)
{
    title_ = text;
    titleOffset_ = 0;
    showTitle();
    updateMarquee();
}

QString TForm1::titleText() const
{
    return title_.mid(titleOffset_) + title_.left(titleOffset_);
}

QString TForm1::rotatedPrefix(qsizetype n) const
{
    QString part = title_.mid(titleOffset_, n);
    if (part.size() < n)
        part += title_.left(std::min(n - part.size(), titleOffset_));
    return part;
}

void TForm1::showTitle()
{
    const QFontMetrics metrics(Label3->font());
    const int limit = std::max(width(), Label3->width());
    QString shown;
    for (qsizetype n = 64;; n *= 2) {
        shown = rotatedPrefix(n);
        if (shown.size() >= title_.size() || metrics.horizontalAdvance(shown) > limit)
            break;
    }
    Label3->setText(shown);
}

bool TForm1::titleNeedsScrolling() const
{
    if (title_.size() < 2)
        return false;
    const QFontMetrics metrics(Label3->font());
    for (qsizetype n = 64;; n *= 2) {
        const QString part = title_.left(n);
        if (metrics.horizontalAdvance(part) >= width())
            return true;
        if (part.size() >= title_.size())
            return false;
    }
}

void TForm1::RotateTitle()
{
    if (!titleNeedsScrolling())
        return;
    titleOffset_ = (titleOffset_ + 1) % title_.size();
    showTitle();
}

void TForm1::updateMarquee()
{
    if (!Timer1 || !Label3)
        return; // a font change while the constructor still builds the window
    // Rotating keeps the title's characters, so its width stays what it was.
    const bool wanted = isVisible() && !isMinimized() && titleNeedsScrolling();
    if (wanted && !Timer1->isActive())
        Timer1->start();
    else if (!wanted)
        Timer1->stop();
}

void TForm1::showEvent(QShowEvent *event)
{
    ToolWindow::showEvent(event);
    updateMarquee();
}

void TForm1::hideEvent(QHideEvent *event)
{
    ToolWindow::hideEvent(event);
    updateMarquee();
}

void TForm1::changeEvent(QEvent *event)
{
    ToolWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange && Label3)
        showTitle();
    if (event->type() == QEvent::WindowStateChange || event->type() == QEvent::FontChange)
        updateMarquee();
    // Restored from the task bar: the windows minimised with it come back.
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && isVisible() && !minimised_.isEmpty())
        minimised_.restore();
}

void TForm1::contextMenuEvent(QContextMenuEvent *event)
{
    popupAt(event->globalPos());
    event->accept();
}

void TForm1::popupAt(const QPoint &globalPos)
{
    menu_->popup(globalPos);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (closing_) {
        event->accept();
        return;
    }
    closing_ = true;
    Q_EMIT closing();
    FormClose();
    event->accept();
    Q_EMIT closed();
}

bool TForm1::FormClose()
{
    bool ok = true;
    const QString iniPath = settingsPath();
    IniFile ini(iniPath);
    writeOwnSettings(ini);
    for (WindowId id : {WindowId::Settings, WindowId::Video, WindowId::Playlist, WindowId::Radio,
                        WindowId::Converter, WindowId::Volume, WindowId::Visualisation}) {
        auto it = windows_.find(id);
        if (it != windows_.end() && it->window && it->stored)
            it->stored->writeSettings(ini);
    }
    QString error;
    if (!ini.save(&error)) {
        // Losing the settings must not cost the playlist too: report, then store it anyway.
        reportSaveFailure(IniFile::unableToWriteMessage(iniPath), error);
        ok = false;
    }
    memo1_ = playlist_.paths();
    const QString listPath = stateDir_ + QStringLiteral("playlist.st3");
    if (!playlistSafeToReplace_) {
        // The stored file could not be read or moved aside: replacing it would destroy it.
        return ok;
    }
    if (!ListStore::saveList(listPath, memo1_, &error)) {
        reportSaveFailure(error, QString());
        ok = false;
    }
    return ok;
}

void TForm1::closeForSignal()
{
    closeFromSignal_ = true;
    close();
}

void TForm1::reportSaveFailure(const QString &text, const QString &reason)
{
    saveFailed_ = true;
    if (closeFromSignal_) {
        const QString line = reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
        std::fprintf(stderr, "tarnel: %s\n", line.toLocal8Bit().constData());
        return;
    }
    dialogs_.showMessage(this, text);
}
