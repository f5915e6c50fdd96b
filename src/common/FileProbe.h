#pragma once
// What a path names, asked without waiting on it for long: stat() and open() of a file on
// a hung network mount or a device block without end, so they run on a thread of their
// own. A probe that does not answer in time is left to end by itself.
//
// A second probe of a path whose probe still runs joins it instead of queueing another
// stat behind it on the same slow mount, and a file found regular a moment ago is taken
// as regular again without asking the mount (the next entry is probed ahead, then
// loaded).
#include <QString>

#include <functional>

namespace file_probe {

enum class Kind { Regular, Other, Missing, NoAnswer };

// tookMs, when given, is how long the file system took to answer (for a joined or
// remembered probe, the time of the probe that asked it): a slow mount is slow again
// when the file is read.
Kind probe(const QString &path, int timeoutMs, int *tookMs = nullptr);

// Calls done with the answer on the probing thread (or at once when it is known); done
// must not wait. Never answers NoAnswer: a probe that never ends never calls back.
void probeAsync(const QString &path, std::function<void(Kind)> done);

} // namespace file_probe
