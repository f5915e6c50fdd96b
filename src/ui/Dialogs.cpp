#include "ui/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>
#include <QFileDialog>
#include <QColorDialog>
#include <QFontDialog>
#include <QMessageBox>

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

QStringList QtDialogs::getOpenFileNames(QWidget *parent, const QString &filter)
{
    return QFileDialog::getOpenFileNames(parent, QString(), QString(), toQtFilter(filter));
}

QString QtDialogs::getSaveFileName(QWidget *parent, const QString &filter, const QString &suggestedName)
{
    return QFileDialog::getSaveFileName(parent, QString(), suggestedName, toQtFilter(filter));
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
