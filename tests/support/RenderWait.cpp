#include "support/RenderWait.h"

#include "playback/MediaGraph.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace render_wait {

namespace {

enum class Answer { None, Done, Failed };

// Runs start(), then the event loop until the graph answers with doneSignal (its result
// kept by onDone) or renderFailed; throws as the render functions say.
template <typename Signal, typename OnDone>
void await(MediaGraph &graph, const std::function<void()> &start, Signal doneSignal, OnDone onDone,
           const QString &what, int timeoutMs)
{
    Answer answer = Answer::None;
    QEventLoop loop;
    const auto done = QObject::connect(&graph, doneSignal, &loop, [&](auto... result) {
        onDone(result...);
        answer = Answer::Done;
        loop.quit();
    });
    const auto failed = QObject::connect(&graph, &MediaGraph::renderFailed, &loop, [&] {
        answer = Answer::Failed;
        loop.quit();
    });
    start();
    if (answer == Answer::None) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(done);
    QObject::disconnect(failed);
    if (answer == Answer::Failed)
        throw graph.lastRenderError();
    if (answer == Answer::None)
        throw MediaGraphError(0, QStringLiteral("The graph did not answer the render of ") + what);
}

} // namespace

void renderFile(MediaGraph &graph, const QString &path, int timeoutMs)
{
    await(graph, [&] { graph.renderFile(path); }, &MediaGraph::renderDone, [] {}, path, timeoutMs);
}

std::uint32_t renderDvd(MediaGraph &graph, const QString &ifoPath, DvdRenderStatus &status, int timeoutMs)
{
    std::uint32_t result = 0;
    await(graph, [&] { graph.renderDvd(ifoPath); }, &MediaGraph::dvdRendered, [&](quint32 r) { result = r; },
          ifoPath, timeoutMs);
    status = graph.lastDvdStatus();
    return result;
}

} // namespace render_wait
