#include "common/LibCurl.h"

#include <dlfcn.h>

#include <mutex>

namespace {

struct Loaded {
    LibCurl functions;
    QString error;
    bool ok = false;
};

template <typename F>
bool find(void *lib, const char *name, F &f, QString &error)
{
    f = reinterpret_cast<F>(::dlsym(lib, name));
    if (!f && error.isEmpty())
        error = QStringLiteral("libcurl has no %1").arg(QLatin1String(name));
    return f != nullptr;
}

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
    decltype(&::curl_global_init) globalInit = nullptr;
    LibCurl &f = l.functions;
    const bool found = find(lib, "curl_global_init", globalInit, l.error) && find(lib, "curl_easy_init", f.easy_init, l.error)
                       && find(lib, "curl_easy_setopt", f.easy_setopt, l.error)
                       && find(lib, "curl_easy_perform", f.easy_perform, l.error)
                       && find(lib, "curl_easy_getinfo", f.easy_getinfo, l.error)
                       && find(lib, "curl_easy_cleanup", f.easy_cleanup, l.error)
                       && find(lib, "curl_easy_strerror", f.easy_strerror, l.error)
                       && find(lib, "curl_slist_append", f.slist_append, l.error)
                       && find(lib, "curl_slist_free_all", f.slist_free_all, l.error);
    if (!found)
        return l;
    if (const CURLcode code = globalInit(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
        l.error = QString::fromLocal8Bit(f.easy_strerror(code));
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
