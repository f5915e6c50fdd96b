#include "common/LibCurl.h"

#include <dlfcn.h>

#include <mutex>

namespace {

struct Loaded {
    LibCurl functions;
    QString error;
    bool ok = false;
};

Loaded load()
{
    Loaded l;
    // The soname of libcurl's ABI since 7.16 (2006). Kept open for the life of the
    // process: transfers may run on any thread.
    void *lib = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        l.error = QString::fromLocal8Bit(::dlerror());
        return l;
    }
    auto find = [lib, &l](const char *name) -> void * {
        void *f = ::dlsym(lib, name);
        if (!f && l.error.isEmpty())
            l.error = QStringLiteral("libcurl has no %1").arg(QLatin1String(name));
        return f;
    };
    const auto globalInit = reinterpret_cast<decltype(&::curl_global_init)>(find("curl_global_init"));
#define TARNEL_CURL_FIND(name) l.functions.name = reinterpret_cast<decltype(&::curl_##name)>(find("curl_" #name));
    TARNEL_CURL_FUNCTIONS(TARNEL_CURL_FIND)
#undef TARNEL_CURL_FIND
    if (!l.error.isEmpty())
        return l;
    if (const CURLcode code = globalInit(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
        l.error = QString::fromLocal8Bit(l.functions.easy_strerror(code));
        return l;
    }
    l.ok = true;
    return l;
}

} // namespace

const LibCurl *libCurl(QString *error)
{
    static std::once_flag once;
    static Loaded loaded;
    std::call_once(once, [] { loaded = load(); });
    if (!loaded.ok && error)
        *error = loaded.error;
    return loaded.ok ? &loaded.functions : nullptr;
}
