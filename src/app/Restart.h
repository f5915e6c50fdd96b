#pragma once
// The restart after a language change: once the close path has saved settings and
// playlist, this copy lets go of the single-instance guard and starts a new copy
// of the program, which then is the first instance and reads the new language.
#include <QString>

class SingleInstance;

// false when the new copy could not be started; *error says why. *pid: the new copy's.
bool startNewCopy(SingleInstance &guard, const QString &program, QString *error = nullptr, qint64 *pid = nullptr);
