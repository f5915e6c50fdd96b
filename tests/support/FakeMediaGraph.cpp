#include "support/FakeMediaGraph.h"

#include <algorithm>

void FakeMediaGraph::record(const QString &call)
{
    calls_.append(call);
}

void FakeMediaGraph::maybeFail(const QString &op)
{
    const auto it = nextFailure_.constFind(op);
    if (it == nextFailure_.constEnd())
        return;
    const MediaGraphError error = it.value();
    nextFailure_.remove(op);
    throw error;
}

void FakeMediaGraph::setMode(GraphMode mode)
{
    record(mode == GraphMode::Dvd ? QStringLiteral("setMode(Dvd)") : QStringLiteral("setMode(Normal)"));
    mode_ = mode;
}

void FakeMediaGraph::setActive(bool active)
{
    record(active ? QStringLiteral("setActive(true)") : QStringLiteral("setActive(false)"));
    maybeFail(QStringLiteral("setActive"));
    active_ = active;
    if (!active) {
        dvdLoaded_ = false;
        running_ = paused_ = false;
        rendered_.clear();
        started_ = int(queued_.size()); // dropped media drops what was queued
        position_ = duration_ = 0;
        prepared_.clear();
        heldAnswer_ = nullptr;
    }
}

void FakeMediaGraph::resetGraph()
{
    record(QStringLiteral("resetGraph"));
    maybeFail(QStringLiteral("resetGraph"));
    dvdLoaded_ = false;
    running_ = paused_ = false;
    rendered_.clear();
    started_ = int(queued_.size()); // dropped media drops what was queued
    position_ = duration_ = 0;
    prepared_.clear();
    heldAnswer_ = nullptr;
}

void FakeMediaGraph::renderFile(const QString &path)
{
    record(QStringLiteral("renderFile(%1)").arg(path));
    dvdLoaded_ = false;
    maybeFail(QStringLiteral("renderFile"));
    prepared_.clear();
    started_ = int(queued_.size());
    const auto broken = renderFailures_.constFind(path);
    if (broken != renderFailures_.constEnd()) {
        const MediaGraphError error = broken.value();
        answer([this, error] {
            lastError_ = error;
            Q_EMIT renderFailed();
        });
        return;
    }
    answer([this, path] {
        rendered_ = path;
        position_ = 0;
        duration_ = durations_.value(path, defaultDurationMs);
        Q_EMIT renderDone();
    });
}

void FakeMediaGraph::answer(std::function<void()> fn)
{
    if (holdAnswers) {
        heldAnswer_ = std::move(fn);
        return;
    }
    heldAnswer_ = nullptr;
    fn();
}

void FakeMediaGraph::answerRender()
{
    if (std::function<void()> fn = std::exchange(heldAnswer_, nullptr))
        fn();
}

void FakeMediaGraph::run()
{
    record(QStringLiteral("run"));
    maybeFail(QStringLiteral("run"));
    running_ = true;
    paused_ = false;
}

void FakeMediaGraph::pause()
{
    record(QStringLiteral("pause"));
    maybeFail(QStringLiteral("pause"));
    running_ = false;
    paused_ = true;
}

void FakeMediaGraph::stop()
{
    record(QStringLiteral("stop"));
    maybeFail(QStringLiteral("stop"));
    running_ = paused_ = false;
}

void FakeMediaGraph::setVolume(int level)
{
    record(QStringLiteral("setVolume(%1)").arg(level));
    volume_ = std::clamp(level, 0, 10000);
}

void FakeMediaGraph::seekMs(std::uint32_t positionMs)
{
    record(QStringLiteral("seekMs(%1)").arg(positionMs));
    maybeFail(QStringLiteral("seekMs"));
    position_ = std::min(positionMs, duration_);
}

QStringList FakeMediaGraph::renderedPaths() const
{
    QStringList paths;
    const QString prefix = QStringLiteral("renderFile(");
    for (const QString &call : calls_) {
        if (call.startsWith(prefix))
            paths.append(call.mid(prefix.size(), call.size() - prefix.size() - 1));
    }
    return paths;
}

void FakeMediaGraph::failNext(const QString &op, const MediaGraphError &error)
{
    nextFailure_.insert(op, error);
}

void FakeMediaGraph::failRenderOf(const QString &path, const MediaGraphError &error)
{
    renderFailures_.insert(path, error);
}

void FakeMediaGraph::clearFailures()
{
    nextFailure_.clear();
    renderFailures_.clear();
}

void FakeMediaGraph::prepareNext(const QString &path)
{
    prepared_ = path;
}

bool FakeMediaGraph::takeNext()
{
    if (prepared_.isEmpty())
        return false;
    const QString path = std::exchange(prepared_, QString());
    queued_.append(path);
    Q_EMIT nextTaken(path);
    return true;
}

void FakeMediaGraph::startQueued()
{
    if (started_ >= queued_.size())
        return;
    rendered_ = queued_.at(started_++);
    duration_ = durations_.value(rendered_, defaultDurationMs);
    position_ = 0;
    Q_EMIT queuedStarted();
}

void FakeMediaGraph::renderDvd(const QString &ifoPath)
{
    heldAnswer_ = nullptr;
    if (!dvdResult && !dvdFailure) {
        answer([this] { Q_EMIT dvdRendered(DvdRenderFail); });
        return;
    }
    record(QStringLiteral("renderDvd(%1)").arg(ifoPath));
    if (dvdFailure) {
        const MediaGraphError error = *dvdFailure;
        dvdFailure.reset();
        answer([this, error] {
            lastError_ = error;
            Q_EMIT renderFailed();
        });
        return;
    }
    const std::uint32_t result = *dvdResult;
    answer([this, result] {
        dvdLoaded_ = result == 0;
        Q_EMIT dvdRendered(result);
    });
}

DvdControl *FakeMediaGraph::dvdControl()
{
    return active_ && mode_ == GraphMode::Dvd && dvdLoaded_ ? &dvd_ : nullptr;
}
