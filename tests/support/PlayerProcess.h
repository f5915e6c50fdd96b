#pragma once
// The built player started from a test's program directory, with its own runtime
// directory and home: first instance, second instances, signals, memory peak. It can
// run as another user (runuser), for folders that user may not write.
#include "support/ProgramDirFixture.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class PlayerProcess {
public:
    // runtimeDir: XDG_RUNTIME_DIR (empty: none is set) and, below it, the home.
    PlayerProcess(const ProgramDirFixture &dir, const QString &runtimeDir);
    ~PlayerProcess();

    void setVariable(const QString &name, const QString &value) { extra_.insert(name, value); }
    // Runs every start as this user (the program directory must let it in).
    void setUser(const QString &user) { user_ = user; }
    QProcessEnvironment environment() const;

    // Starts the first instance and waits until it takes hand-offs (its socket exists).
    bool start(const QStringList &args = {}, const QString &socketPath = QString());
    // Runs a second instance to its end: its exit code, -1 when it did not end in time.
    int runSecond(const QStringList &args, QByteArray *standardError = nullptr, int timeoutMs = 45000);
    // The same with one argument given as raw bytes (a file name that is not UTF-8).
    int runSecondWithBytes(const QByteArray &argument);
    // Sends the signal and waits: the exit code, -1 when it did not end normally.
    int terminate(int signalNumber = 15); // SIGTERM
    bool running() const { return first_.state() != QProcess::NotRunning; }
    // What the first instance wrote to standard error so far.
    QByteArray standardError() const;
    // The player's own process (below runuser when there is one).
    qint64 pid() const;
    // Whether the player has a stream on the sound server.
    bool playsOnSoundServer() const;
    // Peak resident memory of the player so far, in KiB (VmHWM); -1 when unknown.
    qint64 peakRssKiB() const;

private:
    QStringList command(const QStringList &args) const;
    QString errorFile() const;

    const ProgramDirFixture &dir_;
    QString runtime_;
    QString program_;
    QString user_;
    QProcessEnvironment extra_;
    QProcess first_;
};
