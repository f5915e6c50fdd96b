#include "support/PlayerProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <csignal>

PlayerProcess::PlayerProcess(const ProgramDirFixture &dir, const QString &runtimeDir)
    : dir_(dir)
    , runtime_(runtimeDir)
    , program_(dir.installProgram())
{
}

PlayerProcess::~PlayerProcess()
{
    if (first_.state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(pid()), SIGKILL);
        first_.kill();
        first_.waitForFinished(10000);
    }
}

QProcessEnvironment PlayerProcess::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString home = runtime_ + QStringLiteral("/home");
    if (!runtime_.isEmpty())
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_);
    // The start writes the file associations into the user's folders: a home of the test's own.
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    // GStreamer's registry stays where it was built: every start is not a first start.
    if (!env.contains(QStringLiteral("XDG_CACHE_HOME")))
        env.insert(QStringLiteral("XDG_CACHE_HOME"), QDir::homePath() + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(extra_);
    for (const QString &name : extra_.keys()) {
        if (extra_.value(name).isNull())
            env.remove(name);
    }
    return env;
}

QStringList PlayerProcess::command(const QStringList &args) const
{
    if (user_.isEmpty())
        return QStringList{program_} + args;
    // runuser sets HOME and the like for the user: the test's environment goes on explicitly.
    QStringList cmd{QStringLiteral("runuser"), QStringLiteral("-u"), user_, QStringLiteral("--"),
                    QStringLiteral("env"), QStringLiteral("-i")};
    const QProcessEnvironment env = environment();
    for (const QString &name : env.keys())
        cmd.append(name + QLatin1Char('=') + env.value(name));
    return cmd + QStringList{program_} + args;
}

bool PlayerProcess::start(const QStringList &args, const QString &socketPath)
{
    const QStringList cmd = command(args);
    first_.setProcessEnvironment(environment());
    // Standard error goes to a file: a pipe nobody reads while the test waits could fill.
    first_.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    first_.setStandardErrorFile(errorFile());
    first_.start(cmd.first(), cmd.mid(1));
    if (!first_.waitForStarted(10000))
        return false;
    const QString socket = socketPath.isEmpty() ? runtime_ + QStringLiteral("/Quillon") : socketPath;
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(socket) && t.elapsed() < 60000) {
        if (first_.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(50);
    }
    return QFile::exists(socket);
}

int PlayerProcess::runSecond(const QStringList &args, QByteArray *standardError, int timeoutMs)
{
    const QStringList cmd = command(args);
    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(cmd.first(), cmd.mid(1));
    if (!second.waitForFinished(timeoutMs)) {
        second.kill();
        second.waitForFinished();
        return -1;
    }
    if (standardError)
        *standardError = second.readAllStandardError();
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

QString PlayerProcess::errorFile() const
{
    return dir_.file(QStringLiteral("player-stderr.txt"));
}

QByteArray PlayerProcess::standardError() const
{
    QFile f(errorFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int PlayerProcess::runSecondWithBytes(const QByteArray &argument)
{
    // QProcess passes arguments as text; the shell passes the file's bytes unchanged.
    const QString holder = dir_.file(QStringLiteral("raw-argument"));
    QFile file(holder);
    if (!file.open(QIODevice::WriteOnly) || file.write(argument) != argument.size())
        return -1;
    file.close();
    QStringList args = command({});
    const QString program = args.takeLast();
    args.append(QStringLiteral("sh"));
    args.append(QStringLiteral("-c"));
    args.append(QStringLiteral("exec \"$0\" \"$(cat \"$1\")\""));
    args.append(program);
    args.append(holder);
    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(args.first(), args.mid(1));
    if (!second.waitForFinished(45000)) {
        second.kill();
        second.waitForFinished();
        return -1;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

qint64 PlayerProcess::pid() const
{
    const qint64 pid = first_.processId();
    if (user_.isEmpty() || pid <= 0)
        return pid;
    // runuser waits for its one child, which env turned into the player.
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return pid;
    const QByteArray first = children.readAll().trimmed().split(' ').value(0);
    return first.isEmpty() ? pid : first.toLongLong();
}

bool PlayerProcess::playsOnSoundServer() const
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(10000))
        return false;
    return pactl.readAllStandardOutput().contains("application.process.id = \"" + QByteArray::number(pid()) + '"');
}

qint64 PlayerProcess::peakRssKiB() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

int PlayerProcess::terminate(int signalNumber)
{
    ::kill(static_cast<pid_t>(pid()), signalNumber);
    if (!first_.waitForFinished(30000)) {
        ::kill(static_cast<pid_t>(pid()), SIGKILL);
        first_.kill();
        first_.waitForFinished();
        return -1;
    }
    return first_.exitStatus() == QProcess::NormalExit ? first_.exitCode() : -1;
}
