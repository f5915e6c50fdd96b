#include "ui/ImageList.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

class ImageListTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyIndexHasAPicture();
    void samePicturesAsAskingTheThemeForEveryName_data();
    void samePicturesAsAskingTheThemeForEveryName();
};

void ImageListTest::everyIndexHasAPicture()
{
    const ImageList images;
    for (int i = 0; i < ImageList::Count; ++i) {
        QVERIFY2(!images.icon(i).isNull(), qPrintable(QString::number(i)));
        // Without a theme the drawn picture stands in, and it is not blank.
        const QImage drawn = ImageList::drawnIcon(i).pixmap(16, 16).toImage();
        bool inked = false;
        for (int y = 0; y < drawn.height() && !inked; ++y)
            for (int x = 0; x < drawn.width() && !inked; ++x)
                inked = qAlpha(drawn.pixel(x, y)) > 0;
        QVERIFY2(inked, qPrintable(QString::number(i)));
    }
    QVERIFY(images.icon(ImageList::Count).isNull());
    QCOMPARE(trayAnimationFrames().size(), 3);
}

namespace {

void writeFile(const QString &path, const QByteArray &data)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(data), qint64(data.size()));
}

void writePng(const QString &path, const QColor &colour)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "PNG"));
}

void writeIndex(const QString &themeDir, const QString &inherits)
{
    QByteArray text = "[Icon Theme]\nName=Test\nComment=Test\n";
    if (!inherits.isEmpty())
        text += "Inherits=" + inherits.toUtf8() + "\n";
    text += "Directories=16x16/actions,scalable/apps\n\n[16x16/actions]\nSize=16\nType=Fixed\n\n"
            "[scalable/apps]\nSize=16\nType=Scalable\nMinSize=8\nMaxSize=512\n";
    writeFile(themeDir + QStringLiteral("/index.theme"), text);
}

void updateCache(const QString &themeDir)
{
    QProcess p;
    p.start(QStringLiteral("gtk-update-icon-cache"), {"-q", "-f", "-t", themeDir});
    QVERIFY2(p.waitForFinished(30000) && p.exitCode() == 0, qPrintable(QString::fromLocal8Bit(p.readAllStandardError())));
    QVERIFY(QFile::exists(themeDir + QStringLiteral("/icon-theme.cache")));
}

} // namespace

void ImageListTest::samePicturesAsAskingTheThemeForEveryName_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QString>("caches"); // none, current, stale
    QTest::addColumn<int>("themedCount");
    // The theme "probe" inherits "parent": its own play and eject icons, the parent's
    // "go" for the three go-* names and its skip-forward, list-add (SVG) in a second base
    // folder with no index.theme of its own (as the user's ~/.local/share/icons),
    // dialog-question in hicolor, edit-delete in the second folder's hicolor, computer
    // unthemed.
    QTest::newRow("no caches") << "probe" << "none" << 10;
    QTest::newRow("current caches") << "probe" << "current" << 10;
    // A cache older than the files beside it is passed over, as Qt passes it over.
    QTest::newRow("stale cache") << "probe" << "stale" << 10;
    QTest::newRow("hicolor only") << "hicolor" << "none" << 3;
    QTest::newRow("theme not installed") << "absent" << "current" << 3;
}

void ImageListTest::samePicturesAsAskingTheThemeForEveryName()
{
    QFETCH(QString, theme);
    QFETCH(QString, caches);
    QFETCH(int, themedCount);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString system = tmp.filePath(QStringLiteral("system"));
    const QString user = tmp.filePath(QStringLiteral("user"));
    const QString pixmaps = tmp.filePath(QStringLiteral("pixmaps"));
    writeIndex(system + QStringLiteral("/probe"), QStringLiteral("parent"));
    writeIndex(system + QStringLiteral("/parent"), QString());
    writeIndex(system + QStringLiteral("/hicolor"), QString());
    writePng(system + QStringLiteral("/probe/16x16/actions/media-eject.png"), Qt::yellow);
    writePng(system + QStringLiteral("/parent/16x16/actions/go.png"), Qt::blue);
    writePng(system + QStringLiteral("/hicolor/16x16/actions/dialog-question.png"), Qt::magenta);
    writePng(system + QStringLiteral("/parent/16x16/actions/media-skip-forward.png"), Qt::green);
    writeFile(user + QStringLiteral("/probe/scalable/apps/list-add.svg"),
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\">"
              "<rect width=\"16\" height=\"16\" fill=\"#ff00ff\"/></svg>");
    writePng(user + QStringLiteral("/hicolor/16x16/actions/edit-delete.png"), Qt::darkRed);
    writePng(user + QStringLiteral("/hicolor/scalable/apps/tarnel.png"), Qt::gray);
    writePng(pixmaps + QStringLiteral("/computer.png"), Qt::cyan);
    if (caches != QLatin1String("stale"))
        writePng(system + QStringLiteral("/probe/16x16/actions/media-playback-start.png"), Qt::red);
    if (caches != QLatin1String("none")) {
        for (const QString &t : {QStringLiteral("probe"), QStringLiteral("parent"), QStringLiteral("hicolor")})
            updateCache(system + QLatin1Char('/') + t);
    }
    if (caches == QLatin1String("stale")) {
        // The play icon comes after the cache was made.
        writePng(system + QStringLiteral("/probe/16x16/actions/media-playback-start.png"), Qt::red);
        QFile cache(system + QStringLiteral("/probe/icon-theme.cache"));
        QVERIFY(cache.open(QIODevice::ReadWrite));
        QVERIFY(cache.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    if (QTest::currentTestFailed())
        return;

    QIcon::setThemeSearchPaths({system, user});
    QIcon::setFallbackSearchPaths({pixmaps});
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    QIcon::setThemeName(theme);

    const ImageList images;
    int themed = 0;
    for (int i = 0; i < ImageList::Count; ++i) {
        const QIcon asked = QIcon::fromTheme(ImageList::themeName(i));
        themed += asked.isNull() ? 0 : 1;
        const QImage expected = (asked.isNull() ? ImageList::drawnIcon(i) : asked).pixmap(16, 16).toImage();
        QVERIFY2(images.icon(i).pixmap(16, 16).toImage() == expected, qPrintable(ImageList::themeName(i)));
    }
    // The layout does give theme pictures, so the comparison above is not all drawn.
    QCOMPARE(themed, themedCount);
}

QTEST_MAIN(ImageListTest)
#include "test_imagelist.moc"
