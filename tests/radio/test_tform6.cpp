// The radio window's station list and stores: the default station, add and remove with
// the file rewritten, a damaged file kept aside, the bounded stores refusing what does
// not fit, and the ways to start a station.
#include "../visualisation/VisTestSupport.h"
#include "radio/RadioPlayer.h"
#include "radio/TForm6.h"
#include "storage/ListStore.h"
#include "ui/ClickDragBar.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList stored(const FakeMainLink &main)
{
    return ListStore::loadList(main.programDir() + QStringLiteral("radia.st3"), false).entries;
}

QStringList rows(const TForm6 &w)
{
    QStringList out;
    for (int i = 0; i < w.ListBox1->count(); ++i)
        out.append(w.ListBox1->item(i)->text());
    return out;
}

} // namespace

class TestTForm6 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void stationList();
    void damagedListIsKeptAside();
    void storesRefuseWhatDoesNotFit();
    void startWays_data();
    void startWays();
};

void TestTForm6::stationList()
{
    FakeMainLink main;
    main.writeSettings("[NASTAVENI6]\nHlasitost=0\nVidet=0\n");
    RadioPlayer player;
    TForm6 w(main, player);
    // First start: the default station, written to the file.
    QCOMPARE(rows(w), QStringList{TForm6::DefaultStation});
    QCOMPARE(stored(main), QStringList{TForm6::DefaultStation});
    QCOMPARE(w.ProgressBar1->value(), 0);
    QCOMPARE(w.Label4->text(), QStringLiteral("line 16"));
    QCOMPARE(w.Odebrat1->text(), QStringLiteral("line 19"));

    w.Edit1->clear();
    w.Button2Click(); // an empty row is a row
    w.Edit1->setText(QStringLiteral("http://127.0.0.1:1/a.pls"));
    w.Button2Click();
    const QStringList three{TForm6::DefaultStation, QString(), QStringLiteral("http://127.0.0.1:1/a.pls")};
    QCOMPARE(rows(w), three);
    QCOMPARE(stored(main), three);

    w.ListBox1->item(0)->setSelected(true);
    w.ListBox1->item(2)->setSelected(true);
    w.Odebrat1Click();
    QCOMPARE(rows(w), QStringList{QString()});
    QCOMPARE(stored(main), QStringList{QString()});
    w.ListBox1->clearSelection();
    w.Odebrat1Click(); // nothing selected: same content written again
    QCOMPARE(stored(main), QStringList{QString()});
    QVERIFY(main.scripted.messages.isEmpty());
}

void TestTForm6::damagedListIsKeptAside()
{
    FakeMainLink main;
    const QString path = main.programDir() + QStringLiteral("radia.st3");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a compressed list at all");
    f.close();
    main.writeSettings("[NASTAVENI6]\nHlasitost=1234\n");
    RadioPlayer player;
    TForm6 w(main, player);
    QCOMPARE(w.ListBox1->count(), 0);
    // The rest of the set-up ran.
    QCOMPARE(w.ProgressBar1->value(), 1234);
    QCOMPARE(w.Button2->text(), QStringLiteral("line 31"));
    QTRY_COMPARE(main.scripted.messages.size(), 1);
    QVERIFY(main.scripted.messages[0].text.contains(QStringLiteral("radia.st3.damaged-")));
    const QStringList aside = QDir(main.programDir()).entryList({QStringLiteral("radia.st3.damaged-*")});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(QFile(main.programDir() + aside[0]).size(), qint64(28));
    // The next change writes a fresh file beside the kept one.
    w.Button2Click();
    QCOMPARE(stored(main), QStringList{TForm6::DefaultStation});
}

void TestTForm6::storesRefuseWhatDoesNotFit()
{
    FakeMainLink main;
    QStringList many;
    for (int i = 0; i < 1001; ++i)
        many.append(QStringLiteral("http://127.0.0.1:1/%1").arg(i));
    QVERIFY(ListStore::saveList(main.programDir() + QStringLiteral("radia.st3"), many));
    RadioPlayer player;
    TForm6 w(main, player);
    QCOMPARE(w.ListBox1->count(), 1001);
    w.Button2Click(); // a 1002nd station does not fit
    QCOMPARE(w.ListBox1->count(), 1001);
    QCOMPARE(main.scripted.messages.size(), 1);

    w.ListBox1->setCurrentRow(0);
    w.ed_ProxyServer->setText(QString(100, QLatin1Char('x')));
    QCOMPARE(w.ed_ProxyServer->text().size(), 100);
    w.ListBox1DblClick(); // 100 characters: one more than the proxy store takes
    QCOMPARE(main.scripted.messages.size(), 2);
    QVERIFY(!player.connecting());

    w.ListBox1->addItem(QStringLiteral("http://127.0.0.1:1/extra")); // loaded or added elsewhere
    w.ed_ProxyServer->setText(QString(99, QLatin1Char('x')));
    w.ListBox1DblClick();
    QCOMPARE(main.scripted.messages.size(), 3);
    QVERIFY(!player.connecting());
}

void TestTForm6::startWays_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("double click") << "double click";
    QTest::newRow("Enter on the list") << "enter";
    QTest::newRow("popup item") << "popup";
    QTest::newRow("connect button") << "button";
}

void TestTForm6::startWays()
{
    QFETCH(QString, way);
    FakeMainLink main;
    RadioPlayer player;
    RadioStream::Options options;
    player.setStreamOptions(options);
    TForm6 w(main, player);
    QStringList seen;
    connect(&player, &RadioPlayer::radioInfo, this, [&](int code, quint32 number) {
        seen.append(QStringLiteral("%1|%2").arg(code).arg(number));
    });
    w.ListBox1->clear();
    w.ListBox1->addItems({QStringLiteral("http://127.0.0.1:1/first"), QStringLiteral("ftp://second")});
    w.ListBox1->setCurrentRow(1);
    if (way == QLatin1String("double click")) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect r = w.ListBox1->visualItemRect(w.ListBox1->item(1));
        QTest::mouseClick(w.ListBox1->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(w.ListBox1->viewport(), Qt::LeftButton, {}, r.center());
    } else if (way == QLatin1String("enter")) {
        QTest::keyClick(w.ListBox1, Qt::Key_Return);
    } else if (way == QLatin1String("popup")) {
        w.Spustit1->trigger();
    } else {
        w.Button1->click();
    }
    // The focused row's address: not http, so refused at once.
    QTRY_COMPARE(seen, (QStringList{QStringLiteral("0|0"), QStringLiteral("1|1")}));
    QTRY_VERIFY(!player.connecting());
    QCOMPARE(w.Label4->text(), QStringLiteral("line 16"));
}

QTEST_MAIN(TestTForm6)
#include "test_tform6.moc"
