#pragma once
// A FIFO standing in for a file on a mount that does not answer: whoever opens it for
// reading waits until the test serves it some text. The reader is a thread of the test's
// own process (what it holds open is looked up in /proc/self/fd).
#include <QByteArray>
#include <QString>

class StalledFifo {
public:
    explicit StalledFifo(const QString &path); // makes the FIFO
    ~StalledFifo();
    StalledFifo(const StalledFifo &) = delete;
    StalledFifo &operator=(const StalledFifo &) = delete;

    bool isValid() const { return valid_; }
    const QString &path() const { return path_; }
    // Hands text to a reader that has it open (or waits in its open) and closes it behind,
    // then waits until that reader has closed it, so that each opening gets the text
    // once; false at once when nobody has it open.
    bool serveOnce(const QByteArray &text) const;
    // Opens it for writing when a reader has it open, and keeps it open: the reader then
    // waits in its read instead. False when nobody has it open.
    bool hold();
    // Ends a hold: the reader sees the end of the file.
    void letGo();

private:
    bool openForReading(int exceptFd) const; // by a reader of this process

    QString path_;
    bool valid_ = false;
    int held_ = -1;
};
