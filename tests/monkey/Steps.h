#pragma once
#include <span>

class Monkey;

// The kinds of random steps and how often each comes (weights out of their
// sum). A step finds widgets and actions by their object names and sends
// real input, or triggers a command as its menu entry does; it notes what
// it did for the log. A new kind is one row of the table.
struct StepKind {
    const char* name;
    int weight;
    void (*run)(Monkey& monkey);
};
std::span<const StepKind> stepKinds();
