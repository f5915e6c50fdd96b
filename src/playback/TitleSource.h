#pragma once
// Titles of list entries as the title line and the playlist show them, read off the GUI
// thread. Threads: GUI thread only; answers arrive as titleKnown() on the GUI thread.
#include <QObject>
#include <QString>

struct TagTitle {
    enum class State { Pending, Unreadable, NoTag, Tagged };
    State state = State::Pending;
    QString title; // the tag's title when Tagged (may be empty)
};

class TitleSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TitleSource() override = default;
    // The ID3v1 title of an .MP3 file as last read. Pending: not known yet; a read is
    // queued and titleKnown(path) follows once it is.
    virtual TagTitle tagTitle(const QString &path) = 0;

Q_SIGNALS:
    void titleKnown(const QString &path);
};
