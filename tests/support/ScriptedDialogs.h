#pragma once
// Dialogs for tests: answers come from queues filled beforehand, every request is
// recorded, and nothing ever blocks. An empty queue answers "cancelled".
#include "ui/Dialogs.h"

#include <QList>
#include <QQueue>

#include <functional>

class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        QString caption;
    };
    struct SaveRequest {
        QString filter;
        QString suggestedName;
    };
    struct FontAnswer {
        bool accepted = false;
        QFont font;
        QColor colour;
    };

    // Answers, used in order. An empty list / string is a cancelled dialog.
    void queueOpenFiles(const QStringList &files) { openAnswers.enqueue(files); }
    void queueSaveFile(const QString &file) { saveAnswers.enqueue(file); }
    void queueFont(bool accepted, const QFont &font = QFont(), const QColor &colour = QColor());

    // Runs while any dialog or message "is open", as the nested event loop of a modal
    // dialog would run timers and signals; null does nothing.
    std::function<void()> whileOpen;

    // Dialogs
    QStringList getOpenFileNames(QWidget *parent, const QString &filter) override;
    QString getSaveFileName(QWidget *parent, const QString &filter, const QString &suggestedName) override;
    void showMessage(QWidget *parent, const QString &text, const QString &caption = QString()) override;
    bool chooseFont(QWidget *parent, QFont &font, QColor &colour) override;
    void beep() override { ++beeps; }
    // Answers from chooseAnswers (empty queue: cancelled); the rows shown are kept.
    QList<int> chooseRows(QWidget *parent, const QString &caption, const QStringList &rows) override;

    // Texts of the messages shown, in order.
    QStringList messageTexts() const;

    QQueue<QStringList> openAnswers;
    QQueue<QString> saveAnswers;
    QQueue<FontAnswer> fontAnswers;
    QQueue<QList<int>> chooseAnswers;
    QList<QStringList> chooserRows; // one per chooser shown

    QStringList openFilters; // one per open dialog shown
    QList<SaveRequest> saveRequests;
    QList<Message> messages;
    int fontRequests = 0;
    int beeps = 0;
    QWidget *lastParent = nullptr;

private:
    void opened(QWidget *parent);
};
