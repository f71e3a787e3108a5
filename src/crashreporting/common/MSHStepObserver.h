#pragma once
// The steps of the report pipeline at which a process may end without warning (killed, power
// lost) and leave its folders part-way. A program may watch them, as the crash tests do to end a
// process at each and check that the next start picks up where it stopped; nothing watches them
// otherwise, and a step costs one atomic load.

using MSHStepObserver = void (*)(const char *step);

void MSHSetStepObserver(MSHStepObserver observer);
void MSHReachedStep(const char *step);
