#pragma once
// The open dialog. Qt's file dialog decodes names as UTF-8 and loses the bytes of a
// name that is not, so such a file could be neither listed nor opened. This one reads
// folders as bytes and shows and returns names through text_codec::decodeFileName, so
// encodeFileName of a returned path gives the very bytes on disk.
// Threads: the members run on the GUI thread. Each folder (or typed path) is read on a
// thread of its own whose answer comes back as a queued call; a newer request drops
// the answer of an older one. Nothing waits for a read: one stuck on a dead mount is
// left to itself and its answer is never delivered.
#include <QDialog>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

class FileChooser : public QDialog {
    Q_OBJECT
public:
    // filter: "description|*.mp3;*.wav", further "|description|patterns" pairs may follow.
    // The type box offers those entries and all files.
    FileChooser(QWidget *parent, const QString &folder, const QString &filter);
    // Opens in the first of folders that is a folder, found by the listing thread (the
    // remembered one may be on a mount that no longer answers); home when none is.
    FileChooser(QWidget *parent, const QStringList &folders, const QString &filter);
    ~FileChooser() override;

    // The folder shown (or asked for); absolute.
    QString folder() const { return folder_; }
    // The files chosen, absolute, in the order of the rows; set once accepted.
    QStringList selectedFiles() const { return chosen_; }

    // The name as it is shown: each byte that was no part of valid UTF-8 as U+FFFD.
    static QString shownName(const QString &name);

    struct Entry {
        QString name; // decodeFileName of the bytes
        QString shown;
        bool folder = false;
    };
    struct Listing {
        enum class Kind { Folder, File, Failed } kind = Kind::Failed;
        int error = 0; // errno when Failed
        QList<Entry> entries; // folders first, then files, each in natural order; no dot-files
    };
    // Reads a folder (or finds that path is a file). May block: never on the GUI thread.
    static Listing read(const QByteArray &path);

public Q_SLOTS:
    // The Open button and Enter: a typed name or path is looked up (a folder is entered,
    // a file is chosen); else a selected folder is entered, or the selected files chosen.
    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Job;
    void request(const QString &path, bool typed);
    // The first of paths that reads as a folder (typed: as anything) is answered; when
    // none does, the first one's failure.
    void request(const QStringList &paths, bool typed);
    void answered(const std::shared_ptr<Job> &job, const QString &path, bool typed, const Listing &listing);
    void showRows();
    const Entry &entryOf(const QListWidgetItem *item) const;
    void goUp();
    void selectionChanged();
    void setPatterns(int typeIndex);
    QString resolve(const QString &typed) const;

    QLineEdit *folderLine_ = nullptr;
    QListWidget *list_ = nullptr;
    QLineEdit *nameLine_ = nullptr;
    QComboBox *types_ = nullptr;
    QLabel *status_ = nullptr;

    QList<QStringList> typePatterns_; // per entry of the type box
    QList<QRegularExpression> patterns_;
    QString folder_;
    QList<Entry> entries_;
    QString selectAfter_; // the folder left by "up", selected when its parent shows
    bool lineShowsSelection_ = false;
    std::shared_ptr<Job> job_;
    QStringList chosen_;
};
