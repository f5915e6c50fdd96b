#include "system/Associations.h"

#include "common/AtomicFile.h"
#include "common/TextCodec.h"
#include "system/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>

namespace associations {

namespace {

struct Ours {
    const char *type;
    const char *glob;
    const char *comment;
    const char *subClassOf;
};

// Extensions Debian 12's shared-mime-info does not know.
const Ours ourTypes[] = {
    {"audio/x-wave", "*.wave", "WAVE audio", "audio/x-wav"},
    {"video/x-dvd-ifo", "*.ifo", "DVD information file", nullptr},
    {"application/x-cda", "*.cda", "CD audio track", nullptr},
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes only what differs, so that a start changes no time stamps needlessly. A link
// (a dotfile kept elsewhere) is written through: the link stays, its target changes.
bool writeIfChanged(const QString &path, const QByteArray &data)
{
    const QFileInfo info(path);
    if (info.exists() && readFile(path) == data)
        return false;
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    QDir().mkpath(QFileInfo(target).absolutePath());
    atomic_file::write(target, data);
    return true;
}

} // namespace

const QStringList &extensions()
{
    static const QStringList list{".mp3", ".wav", ".wave", ".ifo", ".vob", ".mid",  ".midi", ".asf", ".aif",
                                  ".snd", ".au",  ".wma",  ".mpg", ".mpeg", ".wmv", ".avi",  ".ogg", ".ogm",
                                  ".cda", ".mp4", ".flac", ".flv", ".mkv", ".aac",  ".m4a",  ".m4b"};
    return list;
}

QStringList mimeTypesOf(const QString &extension)
{
    static const QHash<QString, QStringList> table{
        {".mp3", {"audio/mpeg"}},
        {".wav", {"audio/x-wav"}},
        {".wave", {"audio/x-wave"}},
        {".ifo", {"video/x-dvd-ifo"}},
        {".vob", {"video/mpeg"}},
        {".mid", {"audio/midi"}},
        {".midi", {"audio/midi"}},
        {".asf", {"application/vnd.ms-asf"}},
        {".aif", {"audio/x-aiff"}},
        {".snd", {"audio/basic"}},
        {".au", {"audio/basic"}},
        {".wma", {"audio/x-ms-wma"}},
        {".mpg", {"video/mpeg"}},
        {".mpeg", {"video/mpeg"}},
        {".wmv", {"video/x-ms-wmv"}},
        {".avi", {"video/x-msvideo"}},
        {".ogg", {"audio/ogg", "video/ogg", "audio/x-vorbis+ogg", "video/x-theora+ogg"}},
        {".ogm", {"video/x-ogm+ogg"}},
        {".cda", {"application/x-cda"}},
        {".mp4", {"video/mp4"}},
        {".flac", {"audio/flac"}},
        {".flv", {"video/x-flv"}},
        {".mkv", {"video/x-matroska"}},
        {".aac", {"audio/aac"}},
        {".m4a", {"audio/mp4"}},
        {".m4b", {"audio/x-m4b"}},
    };
    return table.value(extension);
}

QStringList mimeTypes()
{
    QStringList all;
    for (const QString &e : extensions())
        for (const QString &t : mimeTypesOf(e))
            if (!all.contains(t))
                all.append(t);
    return all;
}

QString desktopFileName()
{
    return QStringLiteral("tarnel.desktop");
}

QByteArray desktopEntryText(const QString &programPath)
{
    // %f: one file per program start, handed over as one argument whatever it contains.
    const QString exec = desktop_entry::execArgument(programPath) + QStringLiteral(" %f");
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=Tarnel\nName[cs]=Tarnel\n"
                                  "GenericName=Media player\nGenericName[cs]=Přehrávač médií\n"
                                  "Comment=Play audio, video, DVDs and internet radio; convert to WAV and MP3\n"
                                  "Comment[cs]=Přehrávání zvuku, videa, DVD a internetových rádií; převod do WAV a MP3\n"
                                  "TryExec=");
    // A user's copy left behind by a removed program leaves the menu with it.
    text += desktop_entry::escapeValue(programPath);
    text += QStringLiteral("\nExec=") + desktop_entry::escapeValue(exec);
    text += QStringLiteral("\nIcon=tarnel\nTerminal=false\nCategories=AudioVideo;Audio;Video;Player;\n"
                           "Keywords=music;video;DVD;radio;MP3;converter;\n"
                           "Keywords[cs]=hudba;video;DVD;rádio;MP3;převod;\nMimeType=");
    text += mimeTypes().join(QLatin1Char(';')) + QStringLiteral(";\n");
    return text.toUtf8();
}

namespace {

// The program of an Exec value: its first argument, unquoted.
QString execProgram(const QString &exec)
{
    QString program;
    if (!exec.startsWith(QLatin1Char('"')))
        return exec.section(QLatin1Char(' '), 0, 0);
    for (qsizetype i = 1; i < exec.size(); ++i) {
        if (exec[i] == QLatin1Char('"'))
            break;
        if (exec[i] == QLatin1Char('\\') && i + 1 < exec.size())
            ++i;
        program += exec[i];
    }
    return program;
}

} // namespace

QString systemLauncher(const QString &programPath, const QStringList &systemDataDirs)
{
    const QString self = QFileInfo(programPath).canonicalFilePath();
    for (const QString &dir : systemDataDirs) {
        const QString text = QString::fromUtf8(readFile(dir + QStringLiteral("/applications/") + desktopFileName()));
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            if (!line.startsWith(QStringLiteral("Exec=")))
                continue;
            const QString program = execProgram(line.mid(5).trimmed());
            if (!self.isEmpty() && QFileInfo(program).canonicalFilePath() == self)
                return program;
            break;
        }
    }
    return {};
}

QByteArray mimePackageText()
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const Ours &o : ourTypes) {
        xml += QByteArray("  <mime-type type=\"") + o.type + "\">\n    <comment>" + o.comment + "</comment>\n";
        if (o.subClassOf)
            xml += QByteArray("    <sub-class-of type=\"") + o.subClassOf + "\"/>\n";
        xml += QByteArray("    <glob pattern=\"") + o.glob + "\"/>\n  </mime-type>\n";
    }
    return xml + "</mime-info>\n";
}

QString withDefaults(const QString &mimeappsText, const QStringList &types)
{
    const QString section = QStringLiteral("[Default Applications]");
    const QString ours = desktopFileName();
    QStringList lines = text_codec::splitLines(mimeappsText);
    QSet<QString> done;
    int sectionEnd = -1; // where missing types go: after the section's last entry
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            inSection = trimmed == section;
            if (inSection)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = lines[i].indexOf(QLatin1Char('='));
        if (eq > 0) {
            const QString key = lines[i].left(eq).trimmed();
            if (types.contains(key) && !done.contains(key)) {
                // Ours first; the others stay as fallbacks.
                QStringList apps = lines[i].mid(eq + 1).trimmed().split(QLatin1Char(';'), Qt::SkipEmptyParts);
                apps.removeAll(ours);
                apps.prepend(ours);
                lines[i] = key + QLatin1Char('=') + apps.join(QLatin1Char(';')) + QLatin1Char(';');
                done.insert(key);
            }
        }
        if (!trimmed.isEmpty())
            sectionEnd = i + 1;
    }
    QStringList missing;
    for (const QString &t : types)
        if (!done.contains(t))
            missing.append(t + QLatin1Char('=') + ours + QLatin1Char(';'));
    if (sectionEnd < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(section);
        sectionEnd = int(lines.size());
    }
    for (int i = 0; i < missing.size(); ++i)
        lines.insert(sectionEnd + i, missing[i]);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace associations

FileAssociations::FileAssociations(const QString &programPath, const QString &iconFile, const QString &dataHome,
                                   const QString &configHome, const QStringList &systemDataDirs, QObject *parent)
    : QObject(parent)
    , programPath_(programPath)
    , launcher_(associations::systemLauncher(programPath, systemDataDirs))
    , systemWide_(!launcher_.isEmpty())
    , iconFile_(iconFile)
    , dataHome_(dataHome)
    , configHome_(configHome)
{
    if (launcher_.isEmpty())
        launcher_ = programPath_;
}

void FileAssociations::rewrite()
{
    using namespace associations;
    writeIfChanged(dataHome_ + QStringLiteral("/applications/") + desktopFileName(), desktopEntryText(launcher_));

    const QString mimeappsPath = configHome_ + QStringLiteral("/mimeapps.list");
    const QString before = text_codec::decodeText(readFile(mimeappsPath));
    const QString after = withDefaults(before, mimeTypes());
    writeIfChanged(mimeappsPath, after.toUtf8());

    if (systemWide_) {
        // The package's icon and MIME definitions serve every user.
        Q_EMIT mimeDatabaseReady();
        return;
    }
    const QByteArray icon = readFile(iconFile_);
    if (!icon.isEmpty())
        writeIfChanged(dataHome_ + QStringLiteral("/icons/hicolor/scalable/apps/tarnel.svg"), icon);

    const bool changed = writeIfChanged(dataHome_ + QStringLiteral("/mime/packages/tarnel.xml"), mimePackageText());
    if (changed || !QFileInfo::exists(dataHome_ + QStringLiteral("/mime/mime.cache")))
        updateMimeDatabase();
    else
        Q_EMIT mimeDatabaseReady();
}

void FileAssociations::updateMimeDatabase()
{
    if (updater_)
        return;
    // On the side: the windows do not wait for it.
    updater_ = new QProcess(this);
    updater_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    updater_->setStandardOutputFile(QProcess::nullDevice());
    auto done = [this] {
        updater_->deleteLater();
        updater_ = nullptr;
        Q_EMIT mimeDatabaseReady();
    };
    connect(updater_, &QProcess::finished, this, done);
    connect(updater_, &QProcess::errorOccurred, this, [done](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            done();
    });
    updater_->start(QStringLiteral("update-mime-database"), {dataHome_ + QStringLiteral("/mime")});
}
