#pragma once
#include <QtGlobal>
#include <iterator>

// A small deterministic generator (SplitMix64): the same seed gives the same
// choices with every compiler and standard library, so a run can be replayed.
class Rng
{
public:
    explicit Rng(quint64 seed = 0) : m_state(seed) {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < n; 0 for an empty range.
    int below(qsizetype n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    int between(int low, int high) { return low + below(qsizetype(high) - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <class Container> auto& pick(Container& items)
    {
        return items[below(qsizetype(std::size(items)))];
    }

    // The generator of one step of a run: each step has its own, so a step
    // chooses the same whatever the steps before it consumed.
    static Rng forStep(quint64 seed, quint64 step)
    {
        Rng mix(seed ^ (step * 0xd1b54a32d192ed03ULL));
        mix.next();
        return Rng(mix.next());
    }

private:
    quint64 m_state;
};
