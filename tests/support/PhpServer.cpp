#include "support/PhpServer.h"

#include "support/ProgramDirFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

PhpServer::PhpServer()
{
    const QString from = ProgramDirFixture::sourceDir() + QStringLiteral("/server");
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        if (rel.startsWith(QLatin1String("data/")))
            continue; // a maintainer's local database stays out
        QDir().mkpath(QFileInfo(root() + QLatin1Char('/') + rel).path());
        QFile::copy(src, root() + QLatin1Char('/') + rel);
    }
    QDir().mkpath(dir_.path() + QStringLiteral("/db"));
}

PhpServer::~PhpServer()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished();
    }
}

QProcessEnvironment PhpServer::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNEL_DB_DSN"), QStringLiteral("sqlite:") + databasePath());
    env.insert(QStringLiteral("TARNEL_TIMEZONE"), QStringLiteral("UTC"));
    return env;
}

bool PhpServer::start()
{
    {
        // The table is made once, as on a real site.
        QProcess setup;
        setup.setProcessEnvironment(environment());
        setup.setProcessChannelMode(QProcess::MergedChannels);
        setup.start(QStringLiteral("php"), {root() + QStringLiteral("/setup.php")});
        if (!setup.waitForFinished(60000) || setup.exitStatus() != QProcess::NormalExit || setup.exitCode() != 0) {
            error_ = QStringLiteral("setup.php failed: ") + QString::fromLocal8Bit(setup.readAll());
            return false;
        }
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0)) {
                error_ = probe.errorString();
                return false;
            }
            port_ = probe.serverPort();
        }
        process_.setProcessEnvironment(environment());
        process_.setWorkingDirectory(root());
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("php"), {QStringLiteral("-S"), QStringLiteral("127.0.0.1:%1").arg(port_),
                                              QStringLiteral("-t"), root() + QStringLiteral("/public")});
        if (!process_.waitForStarted(10000)) {
            error_ = QStringLiteral("php did not start: ") + process_.errorString();
            return false;
        }
        QElapsedTimer t;
        t.start();
        while (process_.state() == QProcess::Running && t.elapsed() < 20000) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            if (socket.waitForConnected(500))
                return true;
            QThread::msleep(50);
        }
        error_ = QString::fromLocal8Bit(process_.readAll());
        process_.kill();
        process_.waitForFinished();
    }
    return false;
}

QString PhpServer::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

void PhpServer::writeFile(const QString &relative, const QByteArray &bytes) const
{
    const QString path = root() + QStringLiteral("/public/") + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray PhpServer::query(const QString &php) const
{
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("php"), {QStringLiteral("-r"),
                                   QStringLiteral("require '%1/lib/reports.php'; $db = tarnel_db(); ").arg(root()) + php});
    p.waitForFinished(30000);
    return p.readAllStandardOutput();
}
