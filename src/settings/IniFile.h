#pragma once
// One INI file read and written the way the old private-profile functions did:
// a missing file, section or key yields the default; section and key names match in
// any letter case; a value is the text after the first "=", trimmed of spaces and tabs,
// with one pair of matching surrounding quotes removed.
// Writes change memory only; save() replaces the file atomically. Every line we do not
// write (comments, blank lines, unknown sections and keys) survives in its place.
// Files are read as UTF-8 when valid, else Windows-1250, and written as UTF-8 with CR LF.
#include <QString>
#include <QStringList>

class IniFile {
public:
    explicit IniFile(const QString &path);

    const QString &path() const { return m_path; }

    // Decimal (signed), or hex after "0x", "0X" or "$"; anything else or a missing key -> def.
    int readInteger(const QString &section, const QString &key, int def) const;
    // Read as an integer: non-zero is true; unparsable or missing -> def.
    bool readBool(const QString &section, const QString &key, bool def) const;
    // At most MaxStringLength characters are returned.
    QString readString(const QString &section, const QString &key, const QString &def) const;
    // Colour identifier or number (see colour::fromString). Missing or unconvertible -> def,
    // and *ok = false only when a value was there but did not convert.
    quint32 readColour(const QString &section, const QString &key, quint32 def, bool *ok = nullptr) const;

    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    // Line breaks inside the value become spaces: they would split the line in the file.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeColour(const QString &section, const QString &key, quint32 value);

    // Replaces the file atomically. On failure returns false with the system's reason.
    bool save(QString *error = nullptr) const;

    // The whole text as save() would write it (UTF-8 bytes, CR LF after every line).
    QByteArray serialized() const;
    const QStringList &lines() const { return m_lines; }

    static QString unableToWriteMessage(const QString &path);

    static constexpr int MaxStringLength = 2047;

private:
    // Index of the header line of the first section of that name, or -1.
    qsizetype findSection(const QString &section) const;
    // Index of the first line of the section's body that holds the key, or -1.
    qsizetype findKey(qsizetype header, const QString &key) const;
    // Raw value text of a key, or a null QString when the key is missing.
    QString rawValue(const QString &section, const QString &key) const;
    void writeRaw(const QString &section, const QString &key, const QString &value);

    QString m_path;
    QStringList m_lines;
};
