#include "common/FileProbe.h"

#include "common/TextCodec.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace file_probe {

namespace {
struct Answer {
    std::mutex mutex;
    std::condition_variable ready;
    bool done = false;
    Kind kind = Kind::NoAnswer;
};
} // namespace

Kind probe(const QString &path, int timeoutMs)
{
    auto answer = std::make_shared<Answer>();
    const QByteArray name = text_codec::encodeFileName(path);
    std::thread([answer, name] {
        Kind kind = Kind::Missing;
        struct stat st {};
        if (::stat(name.constData(), &st) == 0) {
            kind = S_ISREG(st.st_mode) ? Kind::Regular : Kind::Other;
            // The engine opens it next: a file that does not open now will not then either,
            // and one whose open hangs is caught here.
            if (kind == Kind::Regular) {
                const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0)
                    ::close(fd);
            }
        }
        std::lock_guard lock(answer->mutex);
        answer->kind = kind;
        answer->done = true;
        answer->ready.notify_all();
    }).detach();
    std::unique_lock lock(answer->mutex);
    answer->ready.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return answer->done; });
    return answer->done ? answer->kind : Kind::NoAnswer;
}

} // namespace file_probe
