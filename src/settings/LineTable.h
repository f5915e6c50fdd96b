#pragma once
// The language, extension and shortcut tables: text files addressed by line number from 0.
// Read as UTF-8 when valid, else Windows-1250; CR, LF and CR LF all end a line.
// Written as UTF-8 with CR LF after every line.
#include <QString>
#include <QStringList>

class LineTable {
public:
    // A missing or unreadable file leaves the table empty and returns false.
    bool load(const QString &path);

    int count() const { return int(m_lines.size()); }
    bool has(int n) const { return n >= 0 && n < m_lines.size(); }
    // Line n, or fallback when the table has no such line (missing or short file):
    // the caller passes its design caption so it stays in place.
    QString line(int n, const QString &fallback = QString()) const;
    const QStringList &lines() const { return m_lines; }

    // Grows the table with empty lines when n is past the end. Line breaks inside
    // text become spaces, so they cannot shift the numbers of the lines after it.
    void setLine(int n, const QString &text);
    void setLines(const QStringList &lines);

    // Replaces the file atomically. On failure returns false with the system's reason.
    bool save(const QString &path, QString *error = nullptr) const;
    QByteArray serialized() const;

private:
    QStringList m_lines;
};

// The three tables the main window loads at start and every window takes its texts from.
struct LanguageTables {
    LineTable language;   // language file of the chosen code (the main window's ListBox1)
    LineTable extensions; // koncovky/koncovky1.txt (ListBox2)
    LineTable shortcuts;  // zkratky/zkratky.txt (ListBox3)

    // Both folders end with "/". Loads the language file and the extension file from
    // programDir, then the shortcut file (which the player rewrites) from stateDir; a
    // missing file leaves its table empty. An empty stateDir means programDir.
    void load(const QString &programDir, const QString &languageCode, const QString &stateDir = QString());

    // A code that could leave the jazyky folder ("/", "\", "..") or is empty is not used;
    // DefaultLanguage takes its place.
    static QString safeLanguageCode(const QString &code);
    // programDir + "jazyky/" + safe code + ".txt"
    static QString languageFilePath(const QString &programDir, const QString &code);
    static QString languageListPath(const QString &programDir);  // jazyky/jazyky.txt
    static QString extensionFilePath(const QString &programDir); // koncovky/koncovky1.txt
    static QString shortcutFilePath(const QString &stateDir);     // zkratky/zkratky.txt
    // update.txt: the release file of the last update check, rewritten by every check.
    static QString updateFilePath(const QString &stateDir);

    static constexpr const char *DefaultLanguage = "cs";
};
