#include "ui/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
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
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? QStringLiteral("Tarnel") : caption, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::chooseFont(QWidget *parent, QFont &font, QColor &colour)
{
    Q_UNUSED(colour);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (ok)
        font = chosen;
    return ok;
}

void QtDialogs::beep()
{
    QApplication::beep();
}
