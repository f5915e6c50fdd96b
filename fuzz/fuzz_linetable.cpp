// Language, shortcut and extension files: any bytes load; lines and shortcuts never crash.
#include "settings/LineTable.h"
#include "settings/Shortcuts.h"

#include "FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzInputAsFile("cs.txt", data, size);
    if (path.isEmpty())
        return 0;
    LineTable table;
    table.load(path);
    for (int i = 0; i < table.count() && i < 80; ++i)
        (void)shortcutFromText(table.line(i));
    (void)table.line(78, QStringLiteral("design"));
    (void)table.serialized();
    return 0;
}
