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

    explicit Run(const ProgramDirFixture &dir)
    {
        OnlineServices online;
        online.opener = &opener;
        online.networkCheck = [] { return true; };
        online.limits.connectTimeoutMs = 2000;
        online.limits.stallSeconds = 5;
        startup = std::make_unique<Startup>(dir.path(), QStringList(), dialogs, graph, SystemServices(), online);
    }
    TForm1 &main() { return *startup->form1(); }
    TForm2 &settings() { return *startup->form2(); }
    QString line(int n) { return main().languageLines().line(n); }
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
    QCOMPARE(w.Edit2->text(), QString());
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

    // A server that is not there: the client's error in the "Výjimka" box, the message field emptied.
    ProgramDirFixture down;
    down.writeFile(QStringLiteral("nastaveni.ini"), settingsFor(QString(), refusingBase()).toUtf8());
    Run other(down);
    other.settings().Edit2->setText(QStringLiteral("zpráva"));
    other.settings().Button3Click();
    QCOMPARE(other.settings().Edit2->text(), QString());
    QVERIFY(QTest::qWaitFor([&] { return !other.dialogs.messages.isEmpty(); }, 20000));
    QCOMPARE(other.dialogs.messages[0].caption, QStringLiteral("Výjimka"));
    QVERIFY(!other.dialogs.messages[0].text.isEmpty());
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
