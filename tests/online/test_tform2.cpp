// The settings window with the other windows around it, its online services against the
// project's web server (PHP's built-in server on 127.0.0.1): the update check at start
// and on the button, the download with its checksum, reports and the board; then the
// font, shortcut and language choices.
#include "app/Startup.h"
#include "app/TForm1.h"
#include "online/TForm2.h"
#include "converter/TForm7.h"
#include "playlist/TForm4.h"
#include "video/TForm3.h"
#include "radio/TForm6.h"
#include "settings/Colour.h"
#include "settings/IniFile.h"
#include "settings/LineTable.h"
#include "support/FakeMediaGraph.h"
#include "support/PhpServer.h"
#include "support/ProgramDirFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/SocketPeer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTcpServer>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

class RecordingOpener : public DesktopOpener {
public:
    bool open(const QString &path, QString *) override
    {
        opened.append(path);
        return true;
    }
    QStringList opened;
};

struct Run {
    ScriptedDialogs dialogs;
    FakeMediaGraph graph;
    RecordingOpener opener;
    std::unique_ptr<Startup> startup;

    explicit Run(const ProgramDirFixture &dir, const std::function<void(OnlineServices &)> &tweak = {})
    {
        OnlineServices online;
        online.opener = &opener;
        online.networkCheck = [] { return true; };
        online.limits.connectTimeoutMs = 2000;
        online.limits.stallSeconds = 5;
        if (tweak)
            tweak(online);
        startup = std::make_unique<Startup>(dir.path(), QStringList(), dialogs, graph, SystemServices(), online);
    }
    TForm1 &main() { return *startup->form1(); }
    TForm2 &settings() { return *startup->form2(); }
    QString line(int n) { return main().languageLines().line(n); }
    // The settings window shown and active, as a user has it when clicking in it.
    bool showSettings()
    {
        if (!settings().isVisible())
            main().performToggle(WindowId::Settings);
        settings().activateWindow();
        return QTest::qWaitForWindowActive(&settings());
    }
};

QString settingsFor(const QString &update, const QString &report, bool autoCheck = true)
{
    return QStringLiteral("[NASTAVENI2]\r\nAktualizace=%1\r\nUpdateServer=%2\r\nReportServer=%3\r\n")
        .arg(autoCheck ? 1 : 0)
        .arg(update, report);
}

QString refusingBase()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
}

QStringList rows(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

} // namespace

class TestTForm2 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void checkAtStart_data();
    void checkAtStart();
    void download_data();
    void download();
    void reportAndBoard();
    void hostileReleaseFile_data();
    void hostileReleaseFile();
    void setupDownloadCancelAndCap();
    void refusedReportKeepsItsText_data();
    void refusedReportKeepsItsText();
    void bigBoardDoesNotFreeze();
    void noServerConfigured();
    void fontRules();
    void shortcutsSaveAndApply();
    void missingLanguageList();
    void languagePickClosesForRestart();

private:
    std::unique_ptr<PhpServer> php_;
};

void TestTForm2::initTestCase()
{
    php_ = std::make_unique<PhpServer>();
    QVERIFY2(php_->start(), qPrintable(php_->errorString()));
}

void TestTForm2::checkAtStart_data()
{
    QTest::addColumn<QByteArray>("release");
    QTest::addColumn<bool>("found");
    QTest::newRow("same caption") << QByteArray("Tarnel " TARNEL_VERSION "\r\n") << false;
    QTest::newRow("trailing space") << QByteArray("Tarnel " TARNEL_VERSION " \r\n") << true;
    QTest::newRow("letter case") << QByteArray("TARNEL " TARNEL_VERSION) << true;
}

void TestTForm2::checkAtStart()
{
    QFETCH(QByteArray, release);
    QFETCH(bool, found);
    php_->writeFile(QStringLiteral("tarnel/update.txt"), release);
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), settingsFor(php_->base(), QString()).toUtf8());
    dir.writeFile(QStringLiteral("update.txt"), "earlier");
    Run run(dir);
    // The windows are all up before the answer; the first play waits for it.
    QVERIFY(run.startup->form9());
    QVERIFY(QTest::qWaitFor([&] { return !run.dialogs.messages.isEmpty() || !run.dialogs.saveRequests.isEmpty(); }, 20000));
    QCOMPARE(run.main().updateFound(), found);
    QCOMPARE(dir.readFile(QStringLiteral("update.txt")), release);
    QCOMPARE(rows(run.settings().ListBox1).value(0), QString::fromUtf8(release).split(QStringLiteral("\r\n")).first());
    if (found) {
        QVERIFY(run.dialogs.messages.isEmpty());
        QCOMPARE(run.dialogs.saveRequests.size(), 1);
        QCOMPARE(run.dialogs.saveRequests[0].filter, run.line(5) + QLatin1Char('|') + run.main().extensionLines().line(0));
        QCOMPARE(run.dialogs.saveRequests[0].suggestedName, QStringLiteral("tarnelsetup.exe"));
        // Cancelled: nothing downloaded, and playback did not start by itself.
        QTest::qWait(100);
        QVERIFY(run.dialogs.openFilters.isEmpty());
    } else {
        QCOMPARE(run.dialogs.messageTexts(), QStringList{run.line(2)});
        QVERIFY(run.dialogs.saveRequests.isEmpty());
        // Play with an empty playlist asks for files.
        QVERIFY(QTest::qWaitFor([&] { return !run.dialogs.openFilters.isEmpty(); }, 5000));
    }
    QVERIFY(run.opener.opened.isEmpty());
}

void TestTForm2::download_data()
{
    QTest::addColumn<bool>("withDigest");
    QTest::addColumn<bool>("rightDigest");
    QTest::newRow("matching checksum") << true << true;
    QTest::newRow("wrong checksum") << true << false;
    QTest::newRow("no checksum line") << false << false;
}

void TestTForm2::download()
{
    QFETCH(bool, withDigest);
    QFETCH(bool, rightDigest);
    const QByteArray setup = QByteArray(200000, 's') + "end";
    QByteArray digest = QCryptographicHash::hash(setup, QCryptographicHash::Sha256).toHex();
    if (!rightDigest)
        digest = QCryptographicHash::hash("other", QCryptographicHash::Sha256).toHex();
    php_->writeFile(QStringLiteral("tarnel/tarnelsetup.exe"), setup);
    php_->writeFile(QStringLiteral("tarnel/update.txt"),
                    "Tarnel 0.300\r\n" + (withDigest ? "sha256 " + digest + "\r\n" : QByteArray()));
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), settingsFor(php_->base(), QString(), false).toUtf8());
    Run run(dir);
    QSignalSpy closed(&run.main(), &TForm1::closed);
    // Aktualizace=0: nothing is asked at start.
    QTest::qWait(200);
    QVERIFY(!QFile::exists(dir.file(QStringLiteral("update.txt"))));
    QVERIFY(!run.settings().CheckBox1->isChecked());
    const QString target = dir.file(QStringLiteral("tarnelsetup.exe"));
    run.dialogs.queueSaveFile(target);
    run.settings().Button1Click();
    const bool runs = !withDigest || rightDigest;
    if (runs) {
        QVERIFY(QTest::qWaitFor([&] { return !run.opener.opened.isEmpty(); }, 20000));
        QCOMPARE(run.opener.opened, QStringList{target});
        QCOMPARE(dir.readFile(QStringLiteral("tarnelsetup.exe")), setup);
        // Then the normal close path.
        QCOMPARE(closed.size(), 1);
        QVERIFY(QFile::exists(dir.file(QStringLiteral("nastaveni.ini"))));
        QCOMPARE(run.settings().Gauge1->value(), run.settings().Gauge1->maximum());
        QCOMPARE(run.settings().Gauge1->maximum(), int(setup.size()));
    } else {
        QVERIFY(QTest::qWaitFor([&] { return !run.dialogs.messages.isEmpty(); }, 20000));
        QCOMPARE(run.dialogs.messageTexts(), QStringList{run.line(80)});
        QVERIFY(!QFile::exists(target));
        QVERIFY(run.opener.opened.isEmpty());
        QCOMPARE(closed.size(), 0);
    }
}

void TestTForm2::reportAndBoard()
{
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), settingsFor(QString(), php_->base()).toUtf8());
    Run run(dir);
    TForm2 &w = run.settings();
    const QString name = QStringLiteral("Jiří");
    const QString message = QStringLiteral("Příliš žluťoučký kůň; úpěl ďábelské ódy");
    w.Edit1->setText(name);
    w.Edit2->setText(message);
    w.Button3Click();
    // Emptied once the server has taken it.
    QVERIFY(QTest::qWaitFor([&] { return w.Edit2->text().isEmpty(); }, 20000));
    QCOMPARE(w.Edit1->text(), name);
    // Sent as Windows-1250 bytes, stored as UTF-8.
    QVERIFY(QTest::qWaitFor([&] { return php_->query(QStringLiteral("echo $db->query('SELECT COUNT(*) FROM reports')->fetchColumn();")) == "1"; }, 20000));
    QCOMPARE(QString::fromUtf8(php_->query(QStringLiteral("echo $db->query('SELECT name || \"|\" || message FROM reports')->fetchColumn();"))),
             name + QLatin1Char('|') + message);

    // The board is asked only while the window is the active one.
    w.Timer1Timer();
    QTest::qWait(300);
    QCOMPARE(w.ListBox2->count(), 0);
    if (!w.isVisible())
        run.main().performToggle(WindowId::Settings);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Timer1Timer();
    QVERIFY(QTest::qWaitFor([&] { return w.ListBox2->count() == 1; }, 20000));
    QVERIFY2(w.ListBox2->item(0)->text().endsWith(QLatin1Char(' ') + name + QStringLiteral(": ") + message),
             qPrintable(w.ListBox2->item(0)->text()));
    QVERIFY(run.dialogs.messages.isEmpty());

}

void TestTForm2::hostileReleaseFile_data()
{
    QTest::addColumn<int>("mode"); // SocketPeer::Mode
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("line"); // the message's language line; -1: the client's error text
    QTest::newRow("never ends") << int(SocketPeer::Mode::Endless) << QByteArray(8192, 'T') << -1;
    QTest::newRow("a byte a second") << int(SocketPeer::Mode::Trickle) << QByteArray("Tarnel 0.300\r\n") << -1;
    QByteArray noise(4096, '\0');
    quint32 x = 12345;
    for (char &c : noise)
        c = char((x = x * 1103515245 + 12345) >> 24);
    QTest::newRow("random bytes") << int(SocketPeer::Mode::Answer) << noise << 90;
    QTest::newRow("a captive portal's page") << int(SocketPeer::Mode::Answer)
                                             << QByteArray("<!DOCTYPE html>\n<html><body>Log in to the Wi-Fi</body></html>\n") << 90;
}

void TestTForm2::hostileReleaseFile()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, body);
    QFETCH(int, line);
    SocketPeer peer(SocketPeer::Mode(mode), SocketPeer::ok(body, "text/plain", mode == int(SocketPeer::Mode::Answer)), 1000);
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), settingsFor(peer.base(), QString(), false).toUtf8());
    dir.writeFile(QStringLiteral("update.txt"), "Tarnel 0.298\r\n");
    Run run(dir, [](OnlineServices &online) { online.limits.deadlineSeconds = 3; });
    QVERIFY(run.showSettings());
    QTest::mouseClick(run.settings().Button1, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !run.dialogs.messages.isEmpty(); }, 20000));
    if (line >= 0)
        QCOMPARE(run.dialogs.messageTexts(), QStringList{run.line(line)});
    // No update offered, no download, and the kept release file as it was: nothing
    // beside it either (a capped answer is never written in full).
    QVERIFY(run.dialogs.saveRequests.isEmpty());
    QVERIFY(!run.main().updateFound());
    QCOMPARE(dir.readFile(QStringLiteral("update.txt")), QByteArray("Tarnel 0.298\r\n"));
    const QStringList left = QDir(dir.path()).entryList({QStringLiteral("update.txt*")}, QDir::Files | QDir::Hidden);
    QCOMPARE(left, QStringList{QStringLiteral("update.txt")});
}

void TestTForm2::setupDownloadCancelAndCap()
{
    // The setup program trickles in: the download shows its progress, and the update
    // button, which now reads "cancel", stops it.
    SocketPeer peer;
    peer.route("/tarnel/update.txt", {SocketPeer::Mode::Answer, SocketPeer::ok("Tarnel 0.300\r\n")});
    peer.route("/tarnel/tarnelsetup.exe", {SocketPeer::Mode::Trickle, SocketPeer::ok(QByteArray(100000, 's')), 20});
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), settingsFor(peer.base(), QString(), false).toUtf8());
    Run run(dir);
    TForm2 &w = run.settings();
    QVERIFY(run.showSettings());
    const QString target = dir.file(QStringLiteral("tarnelsetup.exe"));
    run.dialogs.queueSaveFile(target);
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return w.Button1->text() == run.line(91); }, 20000));
    QVERIFY(QTest::qWaitFor([&] { return w.Gauge1->maximum() == 100000 && w.Gauge1->value() > 0; }, 20000));
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return w.Button1->text() == run.line(1); }, 20000));
    QVERIFY(run.dialogs.messages.isEmpty());
    QVERIFY(run.opener.opened.isEmpty());
    QVERIFY(QDir(dir.path()).entryList({QStringLiteral("tarnelsetup*")}, QDir::Files | QDir::Hidden).isEmpty());

    // A setup program that never ends stops at the cap, with a message; nothing is run.
    peer.route("/tarnel/tarnelsetup.exe", {SocketPeer::Mode::Endless, SocketPeer::ok(QByteArray(8192, 's'), "application/octet-stream", false)});
    Run capped(dir, [](OnlineServices &online) { online.maxSetupBytes = 1024 * 1024; });
    QVERIFY(capped.showSettings());
    capped.dialogs.queueSaveFile(target);
    QTest::mouseClick(capped.settings().Button1, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !capped.dialogs.messages.isEmpty(); }, 20000));
    QVERIFY(capped.opener.opened.isEmpty());
    QVERIFY(QDir(dir.path()).entryList({QStringLiteral("tarnelsetup*")}, QDir::Files | QDir::Hidden).isEmpty());
    QCOMPARE(capped.settings().Button1->text(), capped.line(1));
}

void TestTForm2::refusedReportKeepsItsText_data()
{
    QTest::addColumn<int>("mode"); // SocketPeer::Mode; -1: nothing listens
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("nothing listens") << -1 << QByteArray() << "";
    QTest::newRow("server error") << int(SocketPeer::Mode::Answer)
                                  << QByteArray("HTTP/1.0 500 Internal Server Error\r\nContent-Length: 17\r\n\r\ndatabase is locked") << "500";
    QTest::newRow("too many reports") << int(SocketPeer::Mode::Answer)
                                      << QByteArray("HTTP/1.0 429 Too Many Requests\r\nContent-Length: 0\r\n\r\n") << "429";
    QTest::newRow("no answer") << int(SocketPeer::Mode::Silent) << QByteArray() << "";
}

void TestTForm2::refusedReportKeepsItsText()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, answer);
    QFETCH(QString, errorPart);
    std::unique_ptr<SocketPeer> peer;
    QString base = refusingBase();
    if (mode >= 0) {
        peer = std::make_unique<SocketPeer>(SocketPeer::Mode(mode), answer);
        base = peer->base();
    }
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), settingsFor(QString(), base).toUtf8());
    Run run(dir, [](OnlineServices &online) { online.limits.deadlineSeconds = 3; });
    TForm2 &w = run.settings();
    QVERIFY(run.showSettings());
    const QString message = QStringLiteral("Prehravac spadl pri prepnuti stanice");
    w.Edit2->setFocus();
    QTest::keyClicks(w.Edit2, message);
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !run.dialogs.messages.isEmpty(); }, 20000));
    QCOMPARE(run.dialogs.messages[0].caption, QStringLiteral("Výjimka"));
    QVERIFY2(run.dialogs.messages[0].text.contains(errorPart), qPrintable(run.dialogs.messages[0].text));
    // Kept for another try.
    QCOMPARE(w.Edit2->text(), message);
}

void TestTForm2::bigBoardDoesNotFreeze()
{
    // 600 ordinary reports with one huge one among them, first of 3 MB, then of 600 kB.
    const auto board = [](qsizetype hugeBytes) {
        QByteArray text;
        for (int i = 0; i < 600; ++i) {
            if (i == 300)
                text += "09.12.2026 10:00 Spam: " + QByteArray(hugeBytes, 'x') + ";D7;";
            text += "09.12.2026 10:00 Jan: zpr\xc3\xa1va " + QByteArray::number(i) + ";D7;";
        }
        return text;
    };
    SocketPeer peer;
    peer.route("/problemy.php", {SocketPeer::Mode::Answer, SocketPeer::ok(board(3 * 1024 * 1024), "text/plain; charset=utf-8")});
    ProgramDirFixture dir;
    dir.writeFile(QStringLiteral("nastaveni.ini"), settingsFor(QString(), peer.base()).toUtf8());
    Run run(dir);
    TForm2 &w = run.settings();
    QVERIFY(run.showSettings());
    // How long the GUI thread goes without running its timers while the boards come.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    beat.start(10);

    // The board is taken up to 1 MiB: the reports before the huge one, which is cut off.
    w.Timer1Timer();
    QVERIFY(QTest::qWaitFor([&] { return w.ListBox2->count() == 300; }, 20000));
    QCOMPARE(w.ListBox2->item(0)->text(), QStringLiteral("09.12.2026 10:00 Jan: zpráva 0"));
    QCOMPARE(w.ListBox2->item(299)->text(), QStringLiteral("09.12.2026 10:00 Jan: zpráva 299"));

    // Whole, at most 500 rows, and the huge row cut to what a row can show.
    peer.route("/problemy.php", {SocketPeer::Mode::Answer, SocketPeer::ok(board(600 * 1000), "text/plain; charset=utf-8")});
    w.Timer1Timer();
    QVERIFY(QTest::qWaitFor([&] { return w.ListBox2->count() == 500; }, 20000));
    const QString spam = w.ListBox2->item(300)->text();
    QVERIFY(spam.startsWith(QStringLiteral("09.12.2026 10:00 Spam: xxx")));
    QVERIFY(spam.size() <= 1000 && spam.endsWith(QChar(0x2026)));
    QCOMPARE(w.ListBox2->item(499)->text(), QStringLiteral("09.12.2026 10:00 Jan: zpráva 498"));
    QVERIFY(run.dialogs.messages.isEmpty());
    // The freeze it was: 6.4 s. A bound that only work on the GUI thread would break.
    QVERIFY2(longest < 2000, qPrintable(QString::number(longest)));
}

void TestTForm2::noServerConfigured()
{
    ProgramDirFixture dir; // no servers in the settings, none built in
    Run run(dir);
    TForm2 &w = run.settings();
    QTest::qWait(100);
    QVERIFY(run.dialogs.messages.isEmpty()); // the check at start is silently off
    QVERIFY(w.CheckBox1->isChecked());
    w.Edit2->setText(QStringLiteral("kept"));
    w.Button1Click();
    w.Button3Click();
    QCOMPARE(run.dialogs.messageTexts(), (QStringList{run.line(79), run.line(79)}));
    QVERIFY(!run.line(79).isEmpty());
    QCOMPARE(w.Edit2->text(), QStringLiteral("kept"));
    QVERIFY(!QFile::exists(dir.file(QStringLiteral("update.txt"))));
}

void TestTForm2::fontRules()
{
    ProgramDirFixture dir;
    Run run(dir);
    TForm2 &w = run.settings();
    QWidget *form7 = run.startup->form7();
    const QFont before = form7->font();
    // Cancelled: nothing changes.
    w.Button2Click();
    QCOMPARE(run.dialogs.fontRequests, 1);
    QCOMPARE(run.main().font().pointSize(), 8);

    // Confirmed unchanged: the design font, in face, size and colour only.
    run.dialogs.queueFont(true, TForm2::designFont(), colour::toQColor(0xFF000008));
    w.Button2Click();
    const IniFile ini(dir.file(QStringLiteral("nastaveni.ini")));
    QCOMPARE(ini.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("FTyp"), QString()), QStringLiteral("Arial"));
    QCOMPARE(ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("FVelikost"), 0), 14);
    QCOMPARE(ini.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("FBarva"), QString()), QStringLiteral("clWindowText"));
    const QList<QWidget *> changed{&run.main(), &w, run.startup->form3(), run.startup->form4(), run.startup->form6()};
    for (QWidget *form : changed) {
        QCOMPARE(form->font().family(), QStringLiteral("Arial"));
        QCOMPARE(form->font().pointSize(), 14);
        QVERIFY(!form->font().bold() && !form->font().underline() && !form->font().strikeOut());
    }
    QCOMPARE(form7->font(), before);

    // The dialog opens with the design font again, not the one in use; a colour is kept.
    run.dialogs.queueFont(true, QFont(QStringLiteral("DejaVu Sans"), 11), QColor(255, 0, 0));
    w.Button2Click();
    const IniFile again(dir.file(QStringLiteral("nastaveni.ini")));
    QCOMPARE(again.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("FBarva"), QString()), QStringLiteral("clRed"));
    QCOMPARE(run.main().mainFontColour(), QColor(255, 0, 0));
    QCOMPARE(run.startup->form6()->font().pointSize(), 11);
}

void TestTForm2::shortcutsSaveAndApply()
{
    ProgramDirFixture dir;
    Run run(dir);
    TForm2 &w = run.settings();
    QCOMPARE(w.ValueListEditor1->item(0, 1)->text(), QStringLiteral("Del"));
    QVERIFY(!(w.ValueListEditor1->item(0, 0)->flags() & Qt::ItemIsEditable));
    w.ValueListEditor1->item(0, 1)->setText(QStringLiteral("Ctrl+D"));
    w.ValueListEditor1->item(1, 1)->setText(QStringLiteral("Shift+F5"));
    w.Ulozit1->trigger();
    QCOMPARE(dir.readFile(QStringLiteral("zkratky/zkratky.txt")), QByteArray("Ctrl+D\r\nShift+F5\r\n"));
    // The playlist's delete item at once; the radio's items after a restart.
    QCOMPARE(run.startup->form4()->vymazat1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
    QCOMPARE(w.Ulozit1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F5));
    QCOMPARE(run.startup->form6()->Odebrat1->shortcut(), QKeySequence(Qt::Key_Delete));
}

void TestTForm2::missingLanguageList()
{
    ProgramDirFixture dir;
    QFile::remove(dir.file(QStringLiteral("jazyky/jazyky.txt")));
    Run run(dir);
    TForm2 &w = run.settings();
    QCOMPARE(w.ComboBox1->count(), 0);
    QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("cs"));
    QCOMPARE(w.Button3->text(), run.line(78));
    QCOMPARE(w.ValueListEditor1->rowCount(), 2);
}

void TestTForm2::languagePickClosesForRestart()
{
    ProgramDirFixture dir;
    Run run(dir);
    QSignalSpy closed(&run.main(), &TForm1::closed);
    TForm2 &w = run.settings();
    QCOMPARE(w.ComboBox1->itemText(1), QStringLiteral("en"));
    Q_EMIT w.ComboBox1->activated(1);
    QCOMPARE(closed.size(), 1);
    QVERIFY(run.main().restartRequested());
    const IniFile ini(dir.file(QStringLiteral("nastaveni.ini")));
    QCOMPARE(ini.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("Jazyk"), QString()), QStringLiteral("en"));
}

QTEST_MAIN(TestTForm2)
#include "test_tform2.moc"
