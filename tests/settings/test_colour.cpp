#include "settings/Colour.h"
#include "settings/IniFile.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

class TestColour : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void identifiers_data();
    void identifiers();
    void numbers_data();
    void numbers();
    void writtenForm_data();
    void writtenForm();
    void settingsRoundTrip();
    void toQColor();
};

void TestColour::identifiers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("value");
    const QList<QPair<const char *, quint32>> all = {
        {"clBlack", 0x000000}, {"clMaroon", 0x000080}, {"clGreen", 0x008000},
        {"clOlive", 0x008080}, {"clNavy", 0x800000}, {"clPurple", 0x800080},
        {"clTeal", 0x808000}, {"clGray", 0x808080}, {"clSilver", 0xC0C0C0},
        {"clRed", 0x0000FF}, {"clLime", 0x00FF00}, {"clYellow", 0x00FFFF},
        {"clBlue", 0xFF0000}, {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
        {"clWhite", 0xFFFFFF}, {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},
        {"clCream", 0xF0FBFF}, {"clMedGray", 0xA4A0A0}, {"clNone", 0x1FFFFFFF},
        {"clDefault", 0x20000000}, {"clScrollBar", 0xFF000000}, {"clBackground", 0xFF000001},
        {"clActiveCaption", 0xFF000002}, {"clInactiveCaption", 0xFF000003}, {"clMenu", 0xFF000004},
        {"clWindow", 0xFF000005}, {"clWindowFrame", 0xFF000006}, {"clMenuText", 0xFF000007},
        {"clWindowText", 0xFF000008}, {"clCaptionText", 0xFF000009}, {"clActiveBorder", 0xFF00000A},
        {"clInactiveBorder", 0xFF00000B}, {"clAppWorkSpace", 0xFF00000C}, {"clHighlight", 0xFF00000D},
        {"clHighlightText", 0xFF00000E}, {"clBtnFace", 0xFF00000F}, {"clBtnShadow", 0xFF000010},
        {"clGrayText", 0xFF000011}, {"clBtnText", 0xFF000012}, {"clInactiveCaptionText", 0xFF000013},
        {"clBtnHighlight", 0xFF000014}, {"cl3DDkShadow", 0xFF000015}, {"cl3DLight", 0xFF000016},
        {"clInfoText", 0xFF000017}, {"clInfoBk", 0xFF000018}, {"clHotLight", 0xFF00001A},
        {"clGradientActiveCaption", 0xFF00001B}, {"clGradientInactiveCaption", 0xFF00001C},
        {"clMenuHighlight", 0xFF00001D}, {"clMenuBar", 0xFF00001E}};
    for (const auto &[name, value] : all)
        QTest::newRow(name) << QString::fromLatin1(name) << value;
}

void TestColour::identifiers()
{
    QFETCH(QString, name);
    QFETCH(quint32, value);
    for (const QString &form : {name, name.toLower(), name.toUpper()}) {
        quint32 v = 0xDEADBEEF;
        QVERIFY2(colour::fromString(form, v), qPrintable(form));
        QCOMPARE(v, value);
    }
    QCOMPARE(colour::toString(value), name);
}

void TestColour::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("value");
    QTest::newRow("dollar red") << "$000000FF" << true << quint32(0x0000FF);
    QTest::newRow("dollar lower case") << "$00123abc" << true << quint32(0x123ABC);
    QTest::newRow("0x") << "0x00FF00" << true << quint32(0x00FF00);
    QTest::newRow("decimal") << "255" << true << quint32(255);
    QTest::newRow("system colour as negative decimal") << "-16777201" << true << quint32(0xFF00000F);
    QTest::newRow("system colour in dollar form") << "$FF000008" << true << quint32(0xFF000008);
    QTest::newRow("spaces") << " $FF " << true << quint32(0xFF);
    QTest::newRow("garbage") << "red" << false << quint32(0);
    QTest::newRow("identifier with tail") << "clRedx" << false << quint32(0);
    QTest::newRow("empty") << "" << false << quint32(0);
    QTest::newRow("too long hex") << "$1000000000" << false << quint32(0);
    QTest::newRow("hash form is not ours") << "#ff0000" << false << quint32(0);
}

void TestColour::numbers()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(quint32, value);
    quint32 v = 0xDEADBEEF;
    QCOMPARE(colour::fromString(text, v), ok);
    QCOMPARE(v, ok ? value : quint32(0xDEADBEEF));
}

void TestColour::writtenForm_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("pure red") << quint32(0x0000FF) << "clRed";
    QTest::newRow("no identifier") << quint32(0x123456) << "$00123456";
    QTest::newRow("hex letters upper") << quint32(0xABCDEF) << "$00ABCDEF";
    QTest::newRow("unknown system index") << quint32(0xFF000019) << "$FF000019";
    QTest::newRow("black") << quint32(0) << "clBlack";
}

void TestColour::writtenForm()
{
    QFETCH(quint32, value);
    QFETCH(QString, text);
    QCOMPARE(colour::toString(value), text);
    quint32 back = 0;
    QVERIFY(colour::fromString(text, back));
    QCOMPARE(back, value);
}

void TestColour::settingsRoundTrip()
{
    // The identifier and the dollar form of pure red read the same; written back as the identifier.
    QTemporaryDir dir;
    const QString path = dir.filePath("nastaveni.ini");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[NASTAVENI1]\r\nFBarva=$000000FF\r\nB=CLRED\r\nC=nonsense\r\n");
    f.close();
    IniFile ini(path);
    bool ok = false;
    QCOMPARE(ini.readColour("NASTAVENI1", "FBarva", 0, &ok), colour::Red);
    QVERIFY(ok);
    QCOMPARE(ini.readColour("NASTAVENI1", "B", 0, &ok), colour::Red);
    QVERIFY(ok);
    QCOMPARE(ini.readColour("NASTAVENI1", "C", 0x111111, &ok), quint32(0x111111));
    QVERIFY(!ok);
    QCOMPARE(ini.readColour("NASTAVENI1", "missing", 0x222222, &ok), quint32(0x222222));
    QVERIFY(ok);
    ini.writeColour("NASTAVENI1", "FBarva", ini.readColour("NASTAVENI1", "FBarva", 0));
    QCOMPARE(ini.readString("NASTAVENI1", "FBarva", ""), QString("clRed"));
}

void TestColour::toQColor()
{
    QCOMPARE(colour::toQColor(0x0000FF), QColor(255, 0, 0));
    QCOMPARE(colour::toQColor(0x563412), QColor(0x12, 0x34, 0x56));
    QVERIFY(!colour::toQColor(colour::None).isValid());
    QCOMPARE(colour::toQColor(colour::Default), QColor(Qt::black));
    QCOMPARE(colour::fromQColor(QColor(0x12, 0x34, 0x56)), quint32(0x563412));
    QCOMPARE(colour::fromQColor(QColor()), colour::None);

    // System colours follow the application's palette.
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::Text, QColor(4, 5, 6));
    palette.setColor(QPalette::Highlight, QColor(7, 8, 9));
    QGuiApplication::setPalette(palette);
    QCOMPARE(colour::toQColor(0xFF00000F), QColor(1, 2, 3));   // clBtnFace
    QCOMPARE(colour::toQColor(0xFF000008), QColor(4, 5, 6));   // clWindowText
    QCOMPARE(colour::toQColor(0xFF00000D), QColor(7, 8, 9));   // clHighlight
    for (quint32 i = 0; i <= 0x1E; ++i)
        QVERIFY(colour::toQColor(0xFF000000 | i).isValid());
}

QTEST_MAIN(TestColour)
#include "test_colour.moc"
