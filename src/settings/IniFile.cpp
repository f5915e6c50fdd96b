#include "settings/IniFile.h"

#include "common/AtomicFile.h"
#include "common/TextCodec.h"
#include "settings/Colour.h"
#include "settings/IntegerText.h"

#include <QFile>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView trimBlanks(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

// Section name of a header line "[name]", or false when the line is no header.
// The name runs to the last "]", as the old reader took it.
bool sectionName(const QString &line, QStringView &name)
{
    const QStringView t = trimBlanks(line);
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = t.lastIndexOf(QLatin1Char(']'));
    if (close < 1)
        return false;
    name = trimBlanks(t.sliced(1, close - 1));
    return true;
}

bool isComment(const QString &line)
{
    return trimBlanks(line).startsWith(QLatin1Char(';'));
}

// Key part of a "key=value" line, or false when the line holds no "=".
bool keyName(const QString &line, QStringView &name, qsizetype &equals)
{
    if (isComment(line))
        return false;
    equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return false;
    name = trimBlanks(QStringView(line).first(equals));
    return true;
}

bool sameName(QStringView a, const QString &b)
{
    return a.compare(trimBlanks(b), Qt::CaseInsensitive) == 0;
}

} // namespace

IniFile::IniFile(const QString &path)
    : m_path(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_lines = text_codec::splitLines(text_codec::decodeText(file.readAll()));
}

qsizetype IniFile::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        QStringView name;
        if (sectionName(m_lines[i], name) && sameName(name, section))
            return i;
    }
    return -1;
}

qsizetype IniFile::findKey(qsizetype header, const QString &key) const
{
    for (qsizetype i = header + 1; i < m_lines.size(); ++i) {
        QStringView name;
        if (sectionName(m_lines[i], name))
            break;
        qsizetype equals = 0;
        if (keyName(m_lines[i], name, equals) && sameName(name, key))
            return i;
    }
    return -1;
}

QString IniFile::rawValue(const QString &section, const QString &key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return QString();
    const qsizetype at = findKey(header, key);
    if (at < 0)
        return QString();
    const QString &line = m_lines[at];
    QStringView value = trimBlanks(QStringView(line).sliced(line.indexOf(QLatin1Char('=')) + 1));
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
        && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    QString result = value.toString();
    if (result.isNull())
        result = QLatin1String(""); // present but empty is not missing
    return result;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    qint32 value = 0;
    const QString raw = rawValue(section, key);
    return (!raw.isNull() && integer_text::parse(raw, value)) ? value : def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const QString raw = rawValue(section, key);
    return (raw.isNull() ? def : raw).left(MaxStringLength);
}

quint32 IniFile::readColour(const QString &section, const QString &key, quint32 def, bool *ok) const
{
    if (ok)
        *ok = true;
    const QString raw = rawValue(section, key);
    if (raw.isNull())
        return def;
    quint32 value = 0;
    if (colour::fromString(raw.left(MaxStringLength), value))
        return value;
    if (ok)
        *ok = false;
    return def;
}

void IniFile::writeRaw(const QString &section, const QString &key, const QString &value)
{
    QString clean = value;
    clean.replace(QLatin1String("\r\n"), QLatin1String(" "));
    clean.replace(QLatin1Char('\r'), QLatin1Char(' '));
    clean.replace(QLatin1Char('\n'), QLatin1Char(' '));

    const qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(key + QLatin1Char('=') + clean);
        return;
    }
    const qsizetype at = findKey(header, key);
    if (at >= 0) {
        // Keep the key as it was spelt, only the value changes.
        QString &line = m_lines[at];
        line = line.left(line.indexOf(QLatin1Char('=')) + 1) + clean;
        return;
    }
    // New key: after the last key of the section, so comments and blank lines that
    // lead into the next section stay with it.
    qsizetype insertAt = header + 1;
    for (qsizetype i = header + 1; i < m_lines.size(); ++i) {
        QStringView name;
        if (sectionName(m_lines[i], name))
            break;
        qsizetype equals = 0;
        if (keyName(m_lines[i], name, equals))
            insertAt = i + 1;
    }
    m_lines.insert(insertAt, key + QLatin1Char('=') + clean);
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeRaw(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeRaw(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    writeRaw(section, key, value);
}

void IniFile::writeColour(const QString &section, const QString &key, quint32 value)
{
    writeRaw(section, key, colour::toString(value));
}

QByteArray IniFile::serialized() const
{
    QByteArray data;
    for (const QString &line : m_lines) {
        data += line.toUtf8();
        data += "\r\n";
    }
    return data;
}

bool IniFile::save(QString *error) const
{
    return atomic_file::write(m_path, serialized(), error);
}

QString IniFile::unableToWriteMessage(const QString &path)
{
    return QStringLiteral("Unable to write to ") + path;
}
