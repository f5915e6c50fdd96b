#pragma once
// The project's web server (server/) run from a test: a copy of its scripts in a
// temporary folder, its database there too (made by setup.php), PHP's built-in server
// on 127.0.0.1 on a free port serving the copy's public/ folder.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PhpServer {
public:
    PhpServer();
    ~PhpServer();
    bool start();
    QString base() const; // "http://127.0.0.1:<port>"
    quint16 port() const { return port_; }
    // A file under the served folder public/ ("tarnel/update.txt", an extra script).
    void writeFile(const QString &relative, const QByteArray &bytes) const;
    QString databasePath() const { return dir_.path() + QStringLiteral("/db/tarnel.sqlite"); }
    QString errorString() const { return error_; }
    // Runs PHP code against the database ($db is the PDO); returns what it printed.
    QByteArray query(const QString &php) const;

private:
    QString root() const { return dir_.path() + QStringLiteral("/www"); }
    QProcessEnvironment environment() const;

    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};
