// The open dialog on names that are not UTF-8, driven by the mouse and the keyboard:
// what it lists (folders first, the type filter, no dot-files, natural order) and that
// every name it returns encodes back to the bytes on disk.
#include "common/TextCodec.h"
#include "ui/Dialogs.h"
#include "ui/FileChooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray folderBytes("slo\xbeka");
const QByteArray songBytes("p\xedse\xf2.mp3");

// The root holds the folder, a dot-file and a text file; the folder holds a folder and
// files of several types. Each file holds its own name.
struct Tree {
    QTemporaryDir dir;
    QByteArray root = QFile::encodeName(dir.path());

    Tree()
    {
        for (const QByteArray &folder : {"/" + folderBytes, "/" + folderBytes + "/inner"})
            QVERIFY(::mkdir((root + folder).constData(), 0700) == 0);
        for (const QByteArray &file : {QByteArray(".hidden.mp3"), QByteArray("notes.txt"), folderBytes + "/" + songBytes,
                                       folderBytes + "/Song 10.MP3", folderBytes + "/Song 9.wav",
                                       folderBytes + "/cover.jpg", folderBytes + "/.hidden.wav"})
            write(root + "/" + file, file);
    }
    static void write(const QByteArray &path, const QByteArray &content)
    {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
        ::close(fd);
    }
    // QTemporaryDir removes by UTF-8 names only.
    ~Tree() { ::nftw(root.constData(), removeOne, 16, FTW_DEPTH | FTW_PHYS); }
    static int removeOne(const char *path, const struct stat *, int, FTW *) { return ::remove(path); }
    QString path(const QByteArray &below) const { return text_codec::decodeFileName(root + below); }
};

QStringList rows(const QListWidget *list)
{
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown.append(list->item(i)->text());
    return shown;
}

// What the file at path holds, read by the bytes encodeFileName gives.
QByteArray contentOf(const QString &path)
{
    const int fd = ::open(text_codec::encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[256];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return got > 0 ? QByteArray(buffer, int(got)) : QByteArray();
}

void clickRow(QListWidget *list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(list->item(row)).center());
}

const QString song = FileChooser::shownName(text_codec::decodeFileName(songBytes));
const QString folderShown = FileChooser::shownName(text_codec::decodeFileName(folderBytes));
const QStringList rootRows{folderShown};
const QStringList folderRows{QStringLiteral("inner"), song, QStringLiteral("Song 9.wav"), QStringLiteral("Song 10.MP3")};

} // namespace

class FileChooserTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mousePicksNamesThatAreNotUtf8();
    void keyboardThroughTheOpenDialog();
};

void FileChooserTest::mousePicksNamesThatAreNotUtf8()
{
    QVERIFY(song.contains(QChar::ReplacementCharacter));
    Tree tree;
    // The remembered folder is gone: the dialog opens in the next place.
    FileChooser chooser(nullptr, QStringList{tree.dir.filePath(QStringLiteral("gone")), tree.dir.path()},
                        QStringLiteral("Zvuk|*.mp3;*.wav"));
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    auto *list = chooser.findChild<QListWidget *>(QStringLiteral("fileChooserList"));
    QVERIFY(list);
    QTRY_COMPARE(rows(list), rootRows);
    QCOMPARE(chooser.folder(), tree.dir.path());

    // A double click as a system sends it: a click, then the second press as a double click.
    const auto enterFirstRow = [list] {
        clickRow(list, 0);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(0)).center());
    };
    enterFirstRow();
    QTRY_COMPARE(rows(list), folderRows);
    QTest::mouseClick(chooser.findChild<QToolButton *>(QStringLiteral("fileChooserUp")), Qt::LeftButton);
    QTRY_COMPARE(rows(list), rootRows);
    enterFirstRow();
    QTRY_COMPARE(rows(list), folderRows);
    QCOMPARE(chooser.findChild<QLineEdit *>(QStringLiteral("fileChooserFolder"))->text(),
             FileChooser::shownName(tree.path("/" + folderBytes)));

    // All files: the other type shows, dot-files still do not.
    auto *types = chooser.findChild<QComboBox *>(QStringLiteral("fileChooserFilter"));
    QTest::keyClick(types, Qt::Key_Down);
    QCOMPARE(rows(list), (QStringList{QStringLiteral("inner"), QStringLiteral("cover.jpg"), song,
                                      QStringLiteral("Song 9.wav"), QStringLiteral("Song 10.MP3")}));
    QTest::keyClick(types, Qt::Key_Up);
    QCOMPARE(rows(list), folderRows);

    clickRow(list, 1);
    clickRow(list, 3, Qt::ControlModifier);
    auto *buttons = chooser.findChild<QDialogButtonBox *>(QStringLiteral("fileChooserButtons"));
    QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
    QCOMPARE(chooser.result(), int(QDialog::Accepted));
    const QStringList chosen = chooser.selectedFiles();
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(text_codec::encodeFileName(chosen.at(0)), tree.root + "/" + folderBytes + "/" + songBytes);
    QCOMPARE(text_codec::encodeFileName(chosen.at(1)), tree.root + "/" + folderBytes + "/Song 10.MP3");
    QCOMPARE(contentOf(chosen.at(0)), folderBytes + "/" + songBytes);
    QCOMPARE(contentOf(chosen.at(1)), folderBytes + "/Song 10.MP3");
}

void FileChooserTest::keyboardThroughTheOpenDialog()
{
    Tree tree;
    // The first dialog opens at home (no music folder there).
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", tree.root);
    const auto restoreHome = qScopeGuard([&oldHome] { qputenv("HOME", oldHome); });
    QtDialogs dialogs;
    QStringList firstRows;
    // The dialog runs modal: the keys are typed from the event loop it runs.
    auto drive = [&](const std::function<void(FileChooser *)> &steps) {
        QTimer::singleShot(0, this, [&firstRows, steps] {
            auto *chooser = qobject_cast<FileChooser *>(QApplication::activeModalWidget());
            const auto closeLeftOpen = qScopeGuard([chooser] {
                if (chooser && chooser->isVisible())
                    chooser->reject();
            });
            QVERIFY(chooser);
            auto *list = chooser->findChild<QListWidget *>(QStringLiteral("fileChooserList"));
            QTRY_VERIFY(list->count() > 0);
            firstRows = rows(list);
            steps(chooser);
        });
    };

    drive([&tree](FileChooser *chooser) {
        auto *list = chooser->findChild<QListWidget *>(QStringLiteral("fileChooserList"));
        auto *line = chooser->findChild<QLineEdit *>(QStringLiteral("fileChooserPath"));
        auto *status = chooser->findChild<QLabel *>(QStringLiteral("fileChooserStatus"));
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_COMPARE(rows(list), folderRows);
        // A folder typed: home, then the folder by its full name.
        QTest::keyClicks(line, QStringLiteral("~"));
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_COMPARE(rows(list), rootRows);
        QVERIFY(line->text().isEmpty());
        QTest::keyClicks(line, tree.dir.path() + QStringLiteral("/./"));
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_VERIFY(line->text().isEmpty());
        QCOMPARE(rows(list), rootRows);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_COMPARE(rows(list), folderRows);
        QTest::keyClick(list, Qt::Key_Backspace);
        QTRY_COMPARE(rows(list), rootRows);
        QCOMPARE(list->currentRow(), 0); // the folder just left
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_COMPARE(rows(list), folderRows);
        QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
        QTRY_COMPARE(rows(list), rootRows);
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_COMPARE(rows(list), folderRows);

        QTest::keyClicks(line, QStringLiteral("missing.mp3"));
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_VERIFY(status->text().contains(QLatin1String("missing.mp3")));
        QVERIFY(chooser->isVisible());
        QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(line, QStringLiteral("Song 9.wav"));
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_VERIFY(!chooser->isVisible());
    });
    const QStringList typed = dialogs.getOpenFileNames(nullptr, QStringLiteral("Zvuk|*.mp3;*.wav"));
    QCOMPARE(firstRows, rootRows);
    QCOMPARE(typed, QStringList{tree.path("/" + folderBytes + "/Song 9.wav")});
    QCOMPARE(text_codec::encodeFileName(dialogs.startFolder()), tree.root + "/" + folderBytes);

    // The next dialog opens in that folder; Escape cancels.
    drive([](FileChooser *chooser) { QTest::keyClick(chooser, Qt::Key_Escape); });
    QVERIFY(dialogs.getOpenFileNames(nullptr, QStringLiteral("Zvuk|*.mp3;*.wav")).isEmpty());
    QCOMPARE(firstRows, folderRows);
}

QTEST_MAIN(FileChooserTest)
#include "test_file_chooser.moc"
