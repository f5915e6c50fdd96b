#include "support/RadioServers.h"

#include "support/ProgramDirFixture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QUrl>

namespace {
constexpr int startTimeoutMs = 10000;
constexpr int stopTimeoutMs = 5000;

QString scriptPath(const QString &name)
{
    return ProgramDirFixture::sourceDir() + QStringLiteral("/tests/fixtures/radio/") + name;
}
} // namespace

LocalScriptServer::LocalScriptServer(const QString &script)
    : script_(scriptPath(script))
{
    // Tracebacks belong in the test's output; what it prints on stdout does not.
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setStandardOutputFile(QProcess::nullDevice());
}

LocalScriptServer::~LocalScriptServer()
{
    stop();
}

QString LocalScriptServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

bool LocalScriptServer::launch(quint16 port, const QStringList &arguments)
{
    stop();
    error_.clear();
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory");
        return false;
    }
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        error_ = QStringLiteral("python3 is not on PATH");
        return false;
    }
    arguments_ = arguments;
    const QString portFile = dir_.filePath(QStringLiteral("port"));
    QFile::remove(portFile);
    QStringList all{script_, QStringLiteral("--port"), QString::number(port), QStringLiteral("--port-file"),
                    portFile, QStringLiteral("--log"), dir_.filePath(QStringLiteral("log.jsonl"))};
    all << arguments;
    process_.start(python, all);
    if (!process_.waitForStarted(startTimeoutMs)) {
        error_ = QStringLiteral("%1 did not start: %2").arg(script_, process_.errorString());
        return false;
    }
    // The script writes the file with a rename, so whatever is there is whole.
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!deadline.hasExpired()) {
        QFile file(portFile);
        if (file.open(QIODevice::ReadOnly)) {
            bool ok = false;
            const uint value = file.readAll().trimmed().toUInt(&ok);
            if (ok && value > 0 && value <= 65535) {
                port_ = quint16(value);
                return true;
            }
        }
        if (process_.waitForFinished(20)) {
            error_ = QStringLiteral("%1 exited with %2 before listening").arg(script_).arg(process_.exitCode());
            return false;
        }
    }
    error_ = QStringLiteral("%1 wrote no port within %2 ms").arg(script_).arg(startTimeoutMs);
    stop();
    return false;
}

void LocalScriptServer::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(stopTimeoutMs)) {
        process_.kill();
        process_.waitForFinished(stopTimeoutMs);
    }
}

bool LocalScriptServer::restart()
{
    if (port_ == 0)
        return false;
    return launch(port_, arguments_);
}

QList<QJsonObject> LocalScriptServer::log() const
{
    QList<QJsonObject> entries;
    QFile file(dir_.filePath(QStringLiteral("log.jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            entries.append(document.object());
    }
    return entries;
}

LocalIcyServer::LocalIcyServer(const Options &options)
    : LocalScriptServer(QStringLiteral("icy_server.py"))
    , options_(options)
{
}

LocalIcyServer::LocalIcyServer(const QString &mp3)
    : LocalScriptServer(QStringLiteral("icy_server.py"))
{
    options_.mp3 = mp3;
}

bool LocalIcyServer::start(quint16 port)
{
    QStringList arguments{QStringLiteral("--mp3"), options_.mp3};
    if (!options_.ogg.isEmpty())
        arguments << QStringLiteral("--ogg") << options_.ogg;
    if (!options_.aac.isEmpty())
        arguments << QStringLiteral("--aac") << options_.aac;
    arguments << QStringLiteral("--drop-count") << QString::number(options_.dropCount)
              << QStringLiteral("--drop-after") << QString::number(options_.dropAfter)
              << QStringLiteral("--title-every") << QString::number(options_.titleEverySeconds)
              << QStringLiteral("--kbps") << QString::number(options_.kbps)
              << QStringLiteral("--metaint") << QString::number(options_.metaint)
              << QStringLiteral("--burst") << QString::number(options_.burst);
    return launch(port, arguments);
}

LocalProxy::LocalProxy()
    : LocalScriptServer(QStringLiteral("http_proxy.py"))
{
}

bool LocalProxy::start(const QString &user, const QString &password, quint16 port)
{
    user_ = user;
    password_ = password;
    QStringList arguments;
    if (!user.isEmpty())
        arguments << QStringLiteral("--user") << user << QStringLiteral("--password") << password;
    return launch(port, arguments);
}

QString LocalProxy::proxyUrl(bool withCredentials) const
{
    if (!withCredentials || user_.isEmpty())
        return url(QString());
    return QStringLiteral("http://%1:%2@127.0.0.1:%3")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(user_)),
             QString::fromLatin1(QUrl::toPercentEncoding(password_)))
        .arg(port());
}
