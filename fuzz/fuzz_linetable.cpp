// Language, shortcut and extension files: any bytes load; lines and shortcuts never crash.
#include "settings/LineTable.h"
#include "settings/Shortcuts.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cs.txt"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    LineTable table;
    table.load(path);
    for (int i = 0; i < table.count() && i < 80; ++i)
        (void)shortcutFromText(table.line(i));
    (void)table.line(78, QStringLiteral("design"));
    (void)table.serialized();
    return 0;
}
