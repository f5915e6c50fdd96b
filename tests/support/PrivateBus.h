#pragma once
// A D-Bus daemon of the test's own (session configuration, unix socket), standing in
// for the system or session bus. Stopped when the object goes.
#include <QDBusConnection>
#include <QProcess>
#include <QString>

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    bool isValid() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // A connection of this process to this bus, under a name of its own (the same name
    // on another bus is another connection).
    QDBusConnection connect(const QString &name) const;
    // Whether a name has an owner within timeoutMs (the event loop runs meanwhile).
    bool waitForName(const QString &name, int timeoutMs = 20000) const;

private:
    QProcess daemon_;
    QString address_;
};

// Runs a program to its end while this thread's event loop goes on (services of this
// process must answer it). Returns its standard output; exitCode gets -1 when it hung.
QByteArray runWithEventLoop(const QString &program, const QStringList &args, const QProcessEnvironment &env,
                            int *exitCode = nullptr, int timeoutMs = 30000);
