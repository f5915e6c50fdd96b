#pragma once
// What a path names, asked without waiting on it for long: stat() and open() of a file on
// a hung network mount or a device block without end, so they run on a thread of their
// own. A probe that does not answer in time is left to end by itself.
#include <QString>

namespace file_probe {

enum class Kind { Regular, Other, Missing, NoAnswer };

Kind probe(const QString &path, int timeoutMs);

} // namespace file_probe
