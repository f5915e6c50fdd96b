#pragma once
// Everything the player keeps lies beside its executable.
#include <QString>

namespace program_dir {

// Directory of /proc/self/exe with a trailing "/".
QString ofExecutable();
// Full path of the running executable.
QString executablePath();

} // namespace program_dir
