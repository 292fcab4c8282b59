#include "catalogue/FoldedIndex.h"
#include "catalogue/TextFolding.h"

#include <algorithm>

// The scans over the folded keys: which nodes hold a text, and the first one
// from a position on. The keeping of the keys is in FoldedIndex.cpp.

size_t FoldedIndex::recordAt(size_t r, size_t at) const
{
    // Usually the next few; a long way off, a binary search.
    constexpr size_t Near = 8;
    if (r + Near < m_records.size() && m_records[r + Near].at <= at) {
        const auto it =
            std::upper_bound(m_records.begin() + qsizetype(r + Near), m_records.end(), at,
                             [](size_t a, const Record& rec) { return a < rec.at; });
        return size_t(it - m_records.begin()) - 1;
    }
    while (r + 1 < m_records.size() && m_records[r + 1].at <= at)
        ++r;
    return r;
}

bool FoldedIndex::liveRecord(const Record& rec, size_t at) const
{
    if (rec.position >= m_spans.size())
        return false;
    const Span s = m_spans[rec.position];
    return s.at == rec.at && at < size_t(s.at) + s.size;
}

void FoldedIndex::markHolding(std::string_view needle, std::vector<quint64>& bits) const
{
    if (m_records.empty())
        return;
    const char* base = m_bytes.data();
    const char* end = base + m_bytes.size();
    size_t r = 0;
    for (const char* p = base + m_records.front().at; p < end;) {
        p = TextFolding::find(p, end, needle);
        if (p == end)
            break;
        r = recordAt(r, size_t(p - base));
        const Record& rec = m_records[r];
        if (liveRecord(rec, size_t(p - base)))
            bits[rec.position / 64] |= quint64(1) << (rec.position % 64);
        // One hit per key is enough.
        p = r + 1 < m_records.size() ? std::max(p + 1, base + m_records[r + 1].at) : end;
    }
}

size_t FoldedIndex::findFirst(std::string_view needle, int field, size_t from,
                              const std::function<bool(size_t)>& accept) const
{
    if (m_records.empty() || from >= size())
        return NotFound;
    const auto sortedEnd = m_records.begin() + qsizetype(m_sorted);
    size_t r =
        size_t(std::partition_point(m_records.begin(), sortedEnd,
                                    [from](const Record& rec) { return rec.position < from; }) -
               m_records.begin());
    if (r >= m_records.size())
        return NotFound;
    const char* base = m_bytes.data();
    const char* end = base + m_bytes.size();
    size_t best = NotFound;
    for (const char* p = base + m_records[r].at; p < end;) {
        p = TextFolding::find(p, end, needle);
        if (p == end)
            break;
        r = recordAt(r, size_t(p - base));
        const Record& rec = m_records[r];
        const char* next = r + 1 < m_records.size() ? base + m_records[r + 1].at : end;
        if (liveRecord(rec, size_t(p - base)) && rec.position >= from && rec.position < best) {
            const std::string_view f = FoldedIndex::field(key(rec.position), field);
            if (TextFolding::find(f.data(), f.data() + f.size(), needle) != f.data() + f.size() &&
                accept(rec.position)) {
                best = rec.position;
                // The rest of the keys in order lie further on; only those
                // out of order may come before.
                if (r < m_sorted) {
                    if (m_sorted >= m_records.size())
                        break;
                    r = m_sorted;
                    p = base + m_records[r].at;
                    continue;
                }
            }
        }
        p = std::max(p + 1, next);
    }
    return best;
}

size_t FoldedIndex::bytes() const
{
    return m_bytes.capacity() + m_order.capacity() * sizeof(TreeNode*) +
           m_spans.capacity() * sizeof(Span) + m_records.capacity() * sizeof(Record);
}
