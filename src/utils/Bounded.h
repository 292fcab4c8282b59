#pragma once
#include <QtGlobal>
#include <algorithm>

// Value within low and high; low wins when the two cross. 64 bits, so that
// any stored number and any sum of two of them is safe.
inline int bounded(qint64 value, qint64 low, qint64 high)
{
    return int(std::max(low, std::min(value, high)));
}
