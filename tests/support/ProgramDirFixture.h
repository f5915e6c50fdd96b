#pragma once
// A temporary program directory for tests: the shipped data folders copied in,
// nothing else, so every test starts like a first start.
#include <QString>
#include <QTemporaryDir>

class ProgramDirFixture {
public:
    ProgramDirFixture();
    bool isValid() const { return dir_.isValid(); }
    // With a trailing "/".
    QString path() const { return dir_.path() + QLatin1Char('/'); }
    QString file(const QString &name) const { return path() + name; }
    void writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &name) const;
    // Copies the built program into the directory and returns its path.
    QString installProgram() const;

    static QString sourceDir();
    static QString distDir();

private:
    QTemporaryDir dir_;
};
