// Settings files: any bytes load; reads never crash; a rewrite keeps every line it did not touch.
#include "settings/IniFile.h"

#include "FuzzFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzzInputAsFile("nastaveni.ini", data, size);
    if (path.isEmpty())
        return 0;
    IniFile ini(path);
    (void)ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("Volume"), 5000);
    (void)ini.readBool(QStringLiteral("nastaveni4"), QStringLiteral("VIDET"), true);
    (void)ini.readString(QStringLiteral("NASTAVENI1"), QStringLiteral("Jazyk"), QStringLiteral("cs"));
    (void)ini.readColour(QStringLiteral("NASTAVENI1"), QStringLiteral("FBarva"), 0);
    const qsizetype before = ini.lines().size();
    ini.writeInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("Volume"), 1234);
    if (ini.lines().size() < before)
        std::abort();
    if (ini.readInteger(QStringLiteral("NASTAVENI1"), QStringLiteral("Volume"), 0) != 1234)
        std::abort();
    return 0;
}
