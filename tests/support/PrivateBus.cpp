#include "support/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QTest>

PrivateBus::PrivateBus()
{
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                   QStringLiteral("--print-address=1")});
    if (!daemon_.waitForStarted(10000))
        return;
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (!out.contains('\n') && t.elapsed() < 20000 && daemon_.state() == QProcess::Running) {
        daemon_.waitForReadyRead(100);
        out += daemon_.readAllStandardOutput();
    }
    address_ = QString::fromUtf8(out.left(out.indexOf('\n'))).trimmed();
}

PrivateBus::~PrivateBus()
{
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000))
            daemon_.kill();
        daemon_.waitForFinished();
    }
}

QDBusConnection PrivateBus::connect(const QString &name) const
{
    // Qt keeps one connection per name, whatever its address: two buses of one test
    // must not share one.
    return QDBusConnection::connectToBus(address_, name + QLatin1Char('@') + address_);
}

bool PrivateBus::waitForName(const QString &name, int timeoutMs) const
{
    QDBusConnection c = connect(QStringLiteral("private-bus-watch"));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (c.interface() && c.interface()->isServiceRegistered(name))
            return true;
        QTest::qWait(20);
    }
    return false;
}

QByteArray runWithEventLoop(const QString &program, const QStringList &args, const QProcessEnvironment &env,
                            int *exitCode, int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    QElapsedTimer t;
    t.start();
    p.waitForStarted(10000);
    while (p.state() != QProcess::NotRunning && t.elapsed() < timeoutMs)
        QTest::qWait(5);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        if (exitCode)
            *exitCode = -1;
        return {};
    }
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}
