#include "ui/IconThemeNames.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIcon>

namespace icon_theme {

namespace {

// GTK's icon cache as gtk-update-icon-cache writes it: big-endian, a header with the
// offsets of a hash table of icon names and of the list of the folders it covers.
class GtkIconCache {
public:
    // Usable only when current, by the rule Qt applies: not older than the theme
    // folder nor than any folder it lists.
    explicit GtkIconCache(const QString &themeDir)
    {
        QFile file(themeDir + QStringLiteral("/icon-theme.cache"));
        const QFileInfo info(file.fileName());
        if (!info.exists() || !file.open(QIODevice::ReadOnly))
            return;
        const QDateTime cacheTime = info.lastModified();
        if (cacheTime < QFileInfo(themeDir).lastModified())
            return;
        data_ = file.readAll();
        bool ok = data_.size() >= 12 && read16(0) == 1;
        const quint32 dirList = read32(8, &ok);
        const quint32 dirCount = read32(dirList, &ok);
        for (quint32 i = 0; ok && i < dirCount && i < quint32(data_.size()); ++i) {
            const QDateTime dirTime =
                QFileInfo(themeDir + QLatin1Char('/') + QString::fromUtf8(string(read32(dirList + 4 + 4 * i, &ok))))
                    .lastModified();
            if (dirTime.isValid() && cacheTime < dirTime)
                ok = false;
        }
        if (!ok)
            data_.clear();
    }

    bool isCurrent() const { return !data_.isEmpty(); }

    bool contains(const QByteArray &name) const
    {
        bool ok = true;
        const quint32 table = read32(4, &ok);
        const quint32 buckets = read32(table, &ok);
        if (!ok || buckets == 0)
            return false;
        quint32 item = read32(table + 4 + 4 * (hash(name) % buckets), &ok);
        // Chains end at 0xffffffff; the bound stops a damaged file that loops.
        for (int steps = 0; ok && item != 0xffffffffu && steps < data_.size() / 12; ++steps) {
            if (string(read32(item + 4, &ok)) == name)
                return ok;
            item = read32(item, &ok);
        }
        return false;
    }

private:
    // GTK's hash of an icon name.
    static quint32 hash(const QByteArray &name)
    {
        quint32 h = 0;
        for (const char c : name)
            h = (h << 5) - h + quint32(qint32(static_cast<signed char>(c)));
        return h;
    }

    quint32 read16(quint32 offset) const
    {
        if (offset + 2 > quint32(data_.size()))
            return 0;
        const auto *p = reinterpret_cast<const uchar *>(data_.constData()) + offset;
        return quint32(p[0]) << 8 | p[1];
    }

    quint32 read32(quint32 offset, bool *ok) const
    {
        if (quint64(offset) + 4 > quint64(data_.size())) {
            *ok = false;
            return 0xffffffffu;
        }
        const auto *p = reinterpret_cast<const uchar *>(data_.constData()) + offset;
        return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
    }

    QByteArray string(quint32 offset) const
    {
        if (offset >= quint32(data_.size()))
            return QByteArray();
        const char *start = data_.constData() + offset;
        return QByteArray(start, int(qstrnlen(start, uint(data_.size() - qsizetype(offset)))));
    }

    QByteArray data_;
};

// The themes a theme names as its parents in its index.theme.
QStringList inherits(const QString &indexFile)
{
    QFile file(indexFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool inGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            // The folder groups that follow are long (hicolor's file has 3,800 lines).
            if (inGroup)
                break;
            inGroup = line == "[Icon Theme]";
        } else if (inGroup && line.startsWith("Inherits=")) {
            QStringList parents;
            for (const QByteArray &p : line.mid(9).split(','))
                if (!p.trimmed().isEmpty())
                    parents.append(QString::fromUtf8(p.trimmed()));
            return parents;
        }
    }
    return {};
}

// A theme folder without a current cache: every PNG and SVG file in it, at any depth
// (a superset of the folders its index.theme declares).
void scanFolder(const QString &themeDir, const QHash<QString, QStringList> &forms, QSet<QString> &found)
{
    QDirIterator it(themeDir, {QStringLiteral("*.png"), QStringLiteral("*.svg")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString base = it.fileName().chopped(4);
        if (forms.contains(base))
            found.insert(base);
    }
}

} // namespace

QSet<QString> available(const QStringList &names)
{
    // Every shorter form of every name, and which names it stands in for.
    QHash<QString, QStringList> forms;
    for (const QString &name : names) {
        QString form = name;
        while (!form.isEmpty()) {
            forms[form].append(name);
            const qsizetype dash = form.lastIndexOf(QLatin1Char('-'));
            form.truncate(dash < 0 ? 0 : dash);
        }
    }

    // The theme, the themes it inherits and the fallbacks every theme ends in.
    QStringList themes;
    for (const QString &t : {QIcon::themeName(), QIcon::fallbackThemeName(), QStringLiteral("hicolor")})
        if (!t.isEmpty() && !themes.contains(t))
            themes.append(t);
    const QStringList bases = QIcon::themeSearchPaths();
    QSet<QString> found;
    for (int i = 0; i < themes.size(); ++i) {
        bool indexRead = false;
        for (const QString &base : bases) {
            const QString dir = base + QLatin1Char('/') + themes[i];
            if (!QFileInfo(dir).isDir())
                continue;
            const QString index = dir + QStringLiteral("/index.theme");
            if (!indexRead && QFileInfo::exists(index)) {
                indexRead = true;
                for (const QString &parent : inherits(index))
                    if (!themes.contains(parent))
                        themes.append(parent);
            }
            const GtkIconCache cache(dir);
            if (cache.isCurrent()) {
                for (auto f = forms.cbegin(); f != forms.cend(); ++f)
                    if (!found.contains(f.key()) && cache.contains(f.key().toUtf8()))
                        found.insert(f.key());
            } else {
                scanFolder(dir, forms, found);
            }
        }
    }

    QSet<QString> result;
    for (const QString &form : std::as_const(found))
        for (const QString &name : forms.value(form))
            result.insert(name);
    // Unthemed files: the name itself only.
    for (const QString &path : QIcon::fallbackSearchPaths()) {
        const QDir dir(path);
        if (!dir.exists())
            continue;
        for (const QString &file : dir.entryList({QStringLiteral("*.png"), QStringLiteral("*.svg"),
                                                  QStringLiteral("*.xpm")}, QDir::Files)) {
            const QString base = file.chopped(4);
            if (names.contains(base))
                result.insert(base);
        }
    }
    return result;
}

} // namespace icon_theme
