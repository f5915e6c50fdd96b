#pragma once
// Every dialog and message box of the player goes through this interface, so that
// tests can answer them. QtDialogs is the real one.
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // filter is "description|pattern;pattern" (one entry). Empty list: cancelled.
    virtual QStringList getOpenFileNames(QWidget *parent, const QString &filter) = 0;
    // Empty string: cancelled.
    virtual QString getSaveFileName(QWidget *parent, const QString &filter, const QString &suggestedName) = 0;
    // A plain message box with an OK button. An empty caption takes the program's.
    virtual void showMessage(QWidget *parent, const QString &text, const QString &caption = QString()) = 0;
    // Returns false when cancelled.
    virtual bool chooseFont(QWidget *parent, QFont &font, QColor &colour) = 0;
    virtual void beep() = 0;
    // A list of rows to tick (all ticked at first); the indexes of the ticked rows,
    // empty when cancelled. Without a chooser of its own a Dialogs takes every row.
    virtual QList<int> chooseRows(QWidget *parent, const QString &caption, const QStringList &rows);

    // "Audio|*.mp3;*.wav" -> "Audio (*.mp3 *.wav)" for Qt's file dialog.
    static QString toQtFilter(const QString &filter);
};

class QtDialogs : public Dialogs {
public:
    // Where the file dialogs open: the folder of the last file chosen in this run, at
    // first the user's music folder (XDG user dirs), else videos, else home.
    QString startFolder() const;
    // The places before home in that order, unchecked (the open dialog tries them off
    // the GUI thread, then home): the last folder, music, videos.
    QStringList startFolders() const;

    // Our own chooser (ui/FileChooser), which keeps the bytes of names that are not
    // UTF-8; saving goes through Qt's dialog (the program saves only names it proposes).
    QStringList getOpenFileNames(QWidget *parent, const QString &filter) override;
    QString getSaveFileName(QWidget *parent, const QString &filter, const QString &suggestedName) override;
    void showMessage(QWidget *parent, const QString &text, const QString &caption) override;
    bool chooseFont(QWidget *parent, QFont &font, QColor &colour) override;
    void beep() override;
    QList<int> chooseRows(QWidget *parent, const QString &caption, const QStringList &rows) override;

private:
    void remember(const QString &chosenFile);
    QString lastFolder_;
};
