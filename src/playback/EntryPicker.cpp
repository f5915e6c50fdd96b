#include "playback/EntryPicker.h"

#include <algorithm>

namespace entry_picker {

bool pick(int stepMode, int current, int requested, int count, int *picked)
{
    switch (stepMode) {
    case StepRequested:
        *picked = requested;
        return true;
    case StepNext:
        *picked = nextAfter(current, count);
        return true;
    case StepPrevious:
        // Entries may have been deleted below CurrentIndex: step back from the list's end then.
        *picked = current > 0 ? std::min(current, count) - 1 : count - 1;
        return true;
    default:
        return false;
    }
}

int nextAfter(int from, int count)
{
    if (count <= 0)
        return -1;
    return (from >= count - 1 || from < -1) ? 0 : from + 1;
}

} // namespace entry_picker
