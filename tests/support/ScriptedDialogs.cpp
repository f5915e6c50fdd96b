#include "support/ScriptedDialogs.h"

void ScriptedDialogs::queueFont(bool accepted, const QFont &font, const QColor &colour)
{
    fontAnswers.enqueue(FontAnswer{accepted, font, colour});
}

void ScriptedDialogs::opened(QWidget *parent)
{
    lastParent = parent;
    if (whileOpen)
        whileOpen();
}

QStringList ScriptedDialogs::getOpenFileNames(QWidget *parent, const QString &filter)
{
    openFilters.append(filter);
    opened(parent);
    return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
}

QString ScriptedDialogs::getSaveFileName(QWidget *parent, const QString &filter, const QString &suggestedName)
{
    saveRequests.append(SaveRequest{filter, suggestedName});
    opened(parent);
    return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
}

void ScriptedDialogs::showMessage(QWidget *parent, const QString &text, const QString &caption)
{
    messages.append(Message{text, caption});
    opened(parent);
}

bool ScriptedDialogs::chooseFont(QWidget *parent, QFont &font, QColor &colour)
{
    ++fontRequests;
    opened(parent);
    if (fontAnswers.isEmpty())
        return false;
    const FontAnswer answer = fontAnswers.dequeue();
    if (answer.accepted) {
        font = answer.font;
        colour = answer.colour;
    }
    return answer.accepted;
}

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const Message &m : messages)
        texts.append(m.text);
    return texts;
}

QList<int> ScriptedDialogs::chooseRows(QWidget *parent, const QString &, const QStringList &rows)
{
    chooserRows.append(rows);
    opened(parent);
    return chooseAnswers.isEmpty() ? QList<int>() : chooseAnswers.dequeue();
}
