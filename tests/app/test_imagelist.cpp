#include "ui/ImageList.h"

#include <QtTest>

class ImageListTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyIndexHasAPicture();
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

QTEST_MAIN(ImageListTest)
#include "test_imagelist.moc"
