#pragma once
#include <QString>
#include <span>

class Monkey;

// What must hold after every step. Each check returns what is wrong, or an
// empty text; a new invariant is one row of the table.
struct Invariant {
    const char* name;
    QString (*check)(Monkey& monkey);
};
std::span<const Invariant> invariants();
