#pragma once
// Which playlist entry plays: the picking rule of PlayListItem and the "next" rule that
// the gapless plan follows. Plain functions.
namespace entry_picker {

// StepMode values.
constexpr int StepNext = 0;
constexpr int StepPrevious = -1;
constexpr int StepRequested = 1;

// The index PlayListItem opens, from CurrentIndex, for a list of count > 0 entries;
// false for a StepMode that picks nothing (CurrentIndex then stays).
bool pick(int stepMode, int current, int requested, int count, int *picked);
// The row the "next" rule picks after `from` (after the last comes the first); -1 with
// an empty list.
int nextAfter(int from, int count);

} // namespace entry_picker
