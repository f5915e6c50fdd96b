#include "support/RenderWait.h"

#include "playback/MediaGraph.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace render_wait {

namespace {
enum class Answer { None, Done, Failed };
}

void renderFile(MediaGraph &graph, const QString &path, int timeoutMs)
{
    Answer answer = Answer::None;
    QEventLoop loop;
    const auto done = QObject::connect(&graph, &MediaGraph::renderDone, &loop, [&] {
        answer = Answer::Done;
        loop.quit();
    });
    const auto failed = QObject::connect(&graph, &MediaGraph::renderFailed, &loop, [&] {
        answer = Answer::Failed;
        loop.quit();
    });
    graph.renderFile(path);
    if (answer == Answer::None) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(done);
    QObject::disconnect(failed);
    if (answer == Answer::Failed)
        throw graph.lastRenderError();
    if (answer == Answer::None)
        throw MediaGraphError(0, QStringLiteral("The graph did not answer the render of ") + path);
}

std::uint32_t renderDvd(MediaGraph &graph, const QString &ifoPath, DvdRenderStatus &status, int timeoutMs)
{
    Answer answer = Answer::None;
    std::uint32_t result = 0;
    QEventLoop loop;
    const auto done = QObject::connect(&graph, &MediaGraph::dvdRendered, &loop, [&](quint32 r) {
        answer = Answer::Done;
        result = r;
        loop.quit();
    });
    const auto failed = QObject::connect(&graph, &MediaGraph::renderFailed, &loop, [&] {
        answer = Answer::Failed;
        loop.quit();
    });
    graph.renderDvd(ifoPath);
    if (answer == Answer::None) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(done);
    QObject::disconnect(failed);
    if (answer == Answer::Failed)
        throw graph.lastRenderError();
    if (answer == Answer::None)
        throw MediaGraphError(0, QStringLiteral("The graph did not answer the DVD render of ") + ifoPath);
    status = graph.lastDvdStatus();
    return result;
}

} // namespace render_wait
