#include "settings/LineTable.h"

#include "common/AtomicFile.h"
#include "common/TextCodec.h"

#include <QFile>

bool LineTable::load(const QString &path)
{
    m_lines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_lines = text_codec::splitLines(text_codec::decodeText(file.readAll()));
    return true;
}

QString LineTable::line(int n, const QString &fallback) const
{
    return has(n) ? m_lines[n] : fallback;
}

static QString withoutBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

void LineTable::setLine(int n, const QString &text)
{
    if (n < 0)
        return;
    while (m_lines.size() <= n)
        m_lines.append(QString());
    m_lines[n] = withoutBreaks(text);
}

void LineTable::setLines(const QStringList &lines)
{
    m_lines.clear();
    for (const QString &l : lines)
        m_lines.append(withoutBreaks(l));
}

QByteArray LineTable::serialized() const
{
    QByteArray data;
    for (const QString &l : m_lines) {
        data += l.toUtf8();
        data += "\r\n";
    }
    return data;
}

bool LineTable::save(const QString &path, QString *error) const
{
    return atomic_file::write(path, serialized(), error);
}

QString LanguageTables::safeLanguageCode(const QString &code)
{
    if (code.isEmpty() || code.contains(QLatin1Char('/')) || code.contains(QLatin1Char('\\'))
        || code.contains(QLatin1String("..")) || code.contains(QChar(0)))
        return QLatin1String(DefaultLanguage);
    return code;
}

QString LanguageTables::languageFilePath(const QString &programDir, const QString &code)
{
    return programDir + QLatin1String("jazyky/") + safeLanguageCode(code) + QLatin1String(".txt");
}

QString LanguageTables::languageListPath(const QString &programDir)
{
    return programDir + QLatin1String("jazyky/jazyky.txt");
}

QString LanguageTables::extensionFilePath(const QString &programDir)
{
    return programDir + QLatin1String("koncovky/koncovky1.txt");
}

QString LanguageTables::shortcutFilePath(const QString &stateDir)
{
    return stateDir + QLatin1String("zkratky/zkratky.txt");
}

QString LanguageTables::updateFilePath(const QString &stateDir)
{
    return stateDir + QLatin1String("update.txt");
}

void LanguageTables::load(const QString &programDir, const QString &languageCode, const QString &stateDir)
{
    language.load(languageFilePath(programDir, languageCode));
    extensions.load(extensionFilePath(programDir));
    shortcuts.load(shortcutFilePath(stateDir.isEmpty() ? programDir : stateDir));
}
