#include "converter/LibAv.h"

#include <dlfcn.h>

#include <mutex>

namespace {

struct Loaded {
    LibAv functions;
    QString error;
    bool ok = false;
};

void *open(const char *soname, QString &error)
{
    // Kept open for the life of the process: streams may be open in any thread.
    void *handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle && error.isEmpty())
        error = QString::fromLocal8Bit(::dlerror());
    return handle;
}

Loaded load()
{
    Loaded l;
    void *const libs[] = {
        open("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), l.error),
        open("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), l.error),
        open("libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR), l.error),
        open("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), l.error),
    };
    if (!l.error.isEmpty())
        return l;
    auto find = [&libs, &l](const char *name) -> void * {
        for (void *lib : libs)
            if (void *f = ::dlsym(lib, name))
                return f;
        if (l.error.isEmpty())
            l.error = QStringLiteral("libav has no %1").arg(QLatin1String(name));
        return nullptr;
    };
#define TARNEL_LIBAV_FIND(name) l.functions.name = reinterpret_cast<decltype(&::name)>(find(#name));
    TARNEL_LIBAV_FUNCTIONS(TARNEL_LIBAV_FIND)
#undef TARNEL_LIBAV_FIND
    l.ok = l.error.isEmpty();
    return l;
}

} // namespace

const LibAv *libAv(QString *error)
{
    static std::once_flag once;
    static Loaded loaded;
    std::call_once(once, [] { loaded = load(); });
    if (!loaded.ok && error)
        *error = loaded.error;
    return loaded.ok ? &loaded.functions : nullptr;
}
