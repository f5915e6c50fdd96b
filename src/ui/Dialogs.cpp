#include "ui/Dialogs.h"

#include "common/TextCodec.h"
#include "ui/FileChooser.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>
#include <QFileDialog>
#include <QColorDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

QString Dialogs::toQtFilter(const QString &filter)
{
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return filter;
    QString patterns = filter.mid(bar + 1);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return filter.left(bar) + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
}

QList<int> Dialogs::chooseRows(QWidget *, const QString &, const QStringList &rows)
{
    QList<int> all;
    for (int i = 0; i < rows.size(); ++i)
        all.append(i);
    return all;
}

QStringList QtDialogs::startFolders() const
{
    // Not looked up here: a remembered folder may be on a mount that no longer answers,
    // and this runs on the GUI thread.
    QStringList folders;
    if (!lastFolder_.isEmpty())
        folders.append(lastFolder_);
    const QString home = QDir::cleanPath(QDir::homePath());
    for (const auto location : {QStandardPaths::MusicLocation, QStandardPaths::MoviesLocation}) {
        const QString folder = QDir::cleanPath(QStandardPaths::writableLocation(location));
        // A user-dirs entry that points at home itself means the folder is switched off.
        if (!folder.isEmpty() && folder != home)
            folders.append(folder);
    }
    return folders;
}

QString QtDialogs::startFolder() const
{
    // By its bytes: the folder's name need not be UTF-8.
    for (const QString &folder : startFolders()) {
        struct stat st {};
        if (::stat(text_codec::encodeFileName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode))
            return folder;
    }
    return QDir::homePath();
}

void QtDialogs::remember(const QString &chosenFile)
{
    // On the string: a name that is not UTF-8 holds escaped bytes (all names here are absolute).
    const qsizetype slash = chosenFile.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        lastFolder_ = slash == 0 ? QStringLiteral("/") : chosenFile.left(slash);
}

QStringList QtDialogs::getOpenFileNames(QWidget *parent, const QString &filter)
{
    FileChooser chooser(parent, startFolders(), filter);
    if (chooser.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = chooser.selectedFiles();
    if (!chosen.isEmpty())
        remember(chosen.first());
    return chosen;
}

QString QtDialogs::getSaveFileName(QWidget *parent, const QString &filter, const QString &suggestedName)
{
    // A bare suggested name goes into the start folder; a path is taken as it is.
    // Qt's dialog takes UTF-8 names only: a folder whose name is not starts it at home.
    QString folder = startFolder();
    if (!text_codec::isValidUtf8(text_codec::encodeFileName(folder)))
        folder = QDir::homePath();
    const QString suggested = suggestedName.contains(QLatin1Char('/')) || suggestedName.isEmpty()
        ? (suggestedName.isEmpty() ? folder : suggestedName)
        : QDir(folder).filePath(suggestedName);
    const QString chosen = QFileDialog::getSaveFileName(parent, QString(), suggested, toQtFilter(filter));
    remember(chosen);
    return chosen;
}

void QtDialogs::showMessage(QWidget *parent, const QString &text, const QString &caption)
{
    // Centred on its window only when that is shown; a hidden one (closed to the tray,
    // or not yet up) would put the box where nobody sees it.
    QWidget *owner = parent && parent->isVisible() ? parent : nullptr;
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? QStringLiteral("Tarnel") : caption, text,
                    QMessageBox::Ok, owner);
    box.exec();
}

bool QtDialogs::chooseFont(QWidget *parent, QFont &font, QColor &colour)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (!ok)
        return false;
    font = chosen;
    // Qt's font dialog has no colour of its own: the colour follows; cancelling it keeps
    // the colour offered.
    const QColor picked = QColorDialog::getColor(colour, parent);
    if (picked.isValid())
        colour = picked;
    return true;
}

void QtDialogs::beep()
{
    QApplication::beep();
}

QList<int> QtDialogs::chooseRows(QWidget *parent, const QString &caption, const QStringList &rows)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(caption);
    auto *layout = new QVBoxLayout(&dialog);
    auto *list = new QListWidget(&dialog);
    for (const QString &row : rows) {
        auto *item = new QListWidgetItem(row, list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    QList<int> chosen;
    if (dialog.exec() != QDialog::Accepted)
        return chosen;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            chosen.append(i);
    return chosen;
}
