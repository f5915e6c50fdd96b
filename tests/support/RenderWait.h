#pragma once
// Waits for the media graph's answer to a render, for tests that need the media ready
// before they go on. The graph itself never waits: these helpers run the event loop.
#include <QString>

#include <cstdint>

class MediaGraph;
struct DvdRenderStatus;

namespace render_wait {

// renderFile, then the event loop until renderDone; throws the graph's MediaGraphError
// on renderFailed, and a MediaGraphError with code 0 when no answer came in timeoutMs.
void renderFile(MediaGraph &graph, const QString &path, int timeoutMs = 30000);
// renderDvd, then the event loop until dvdRendered (its result, status filled) or
// renderFailed (thrown).
std::uint32_t renderDvd(MediaGraph &graph, const QString &ifoPath, DvdRenderStatus &status, int timeoutMs = 30000);

} // namespace render_wait
