#include "catalogue/CatalogueSearch.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

QStringView searchedText(const TreeNode* node, SearchField field)
{
    if (field == SearchField::name)
        return node->text();
    const NodeInfo* info = node->data();
    if (!info)
        return {};
    switch (field) {
    case SearchField::comments:
        return info->comments;
    case SearchField::fullName:
        return info->fullName;
    case SearchField::additional:
        return info->sAdditional;
    case SearchField::name:
        break;
    }
    return {};
}

QString notFoundSubject(SearchField field)
{
    switch (field) {
    case SearchField::name:
        return QStringLiteral("Document containing in the name");
    case SearchField::comments:
        return QStringLiteral("Document containing in the comment");
    case SearchField::fullName:
        // Without a subject the question would start with a lone blank.
        return QStringLiteral("Document containing in the location");
    case SearchField::additional:
        return QStringLiteral("Document containing in the additional field");
    }
    return {};
}

// ---------------------------------------------------------------- matcher

TextMatcher::TextMatcher(QStringView needle, Qt::CaseSensitivity cs)
    : m_needle(cs == Qt::CaseSensitive ? needle.toString() : QString()), m_cs(cs),
      m_folded(cs == Qt::CaseSensitive ? QStringView() : needle)
{
}

bool TextMatcher::matches(QStringView text) const
{
    if (m_cs != Qt::CaseSensitive)
        return m_folded.matches(text);
    const qsizetype m = m_needle.size();
    if (m == 0 || text.size() < m)
        return false;
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    const char16_t* last = end - m;
    const char16_t* n = reinterpret_cast<const char16_t*>(m_needle.utf16());
#ifdef __SSE2__
    if (m >= 2) {
        // Eight places at a time, each checked for the needle's first two
        // units: common first letters then seldom reach the comparison.
        const __m128i first = _mm_set1_epi16(short(n[0]));
        const __m128i second = _mm_set1_epi16(short(n[1]));
        const size_t restBytes = size_t(m - 2) * sizeof(char16_t);
        for (; p + 9 <= end; p += 8) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            unsigned mask = unsigned(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi16(a, first), _mm_cmpeq_epi16(b, second))));
            while (mask) {
                const char16_t* at = p + std::countr_zero(mask) / 2;
                if (at <= last && std::memcmp(at + 2, n + 2, restBytes) == 0)
                    return true;
                mask &= mask - 1;
                mask &= mask - 1; // both bytes of the unit
            }
        }
    }
#endif
    const size_t restBytes = size_t(m - 1) * sizeof(char16_t);
    for (; p <= last; ++p)
        if (*p == n[0] && std::memcmp(p + 1, n + 1, restBytes) == 0)
            return true;
    return false;
}

// ---------------------------------------------------------------- search

CatalogueSearch::CatalogueSearch(NodeTree& nodes, QObject* parent)
    : QObject(parent), m_nodes(nodes), m_index(nodes)
{
}

CatalogueSearch::~CatalogueSearch() = default;

SearchHit CatalogueSearch::first(const std::string& needle, SearchField field, int start,
                                 const std::function<bool(QStringView)>& test)
{
    start = std::max(start, 0);
    // A needle of accents alone folds to nothing: no key rules a node out.
    if (needle.empty() || !m_index.prepare()) {
        // Inside a bulk change the views hear of nothing until its end, so
        // nothing kept can be trusted: walk the tree itself.
        int i = start;
        for (TreeNode* n = m_nodes.nodeAtAbsoluteIndex(start); n; n = n->getNext(), ++i)
            if (test(searchedText(n, field)))
                return {n, i};
        return {};
    }
    const size_t at = m_index.findFirst(needle, int(field), size_t(start), [&](size_t p) {
        return test(searchedText(m_index.node(p), field));
    });
    if (at == FoldedIndex::NotFound)
        return {};
    return {m_index.node(at), int(at)};
}

SearchHit CatalogueSearch::scan(QStringView text, Qt::CaseSensitivity cs, SearchField field,
                                int start)
{
    const TextMatcher live(text, cs);
    if (live.isEmpty())
        return {};
    return first(TextFolding::folded(text, TextFolding::Marks::drop), field, start,
                 [&live](QStringView t) { return live.matches(t); });
}

SearchHit CatalogueSearch::scanLocations(QStringView path, int start)
{
    if (path.isEmpty())
        return {};
    const auto covers = [path](QStringView location) {
        return location.startsWith(path) &&
               (location.size() == path.size() || location[path.size()] == u'/');
    };
    return first(TextFolding::folded(path, TextFolding::Marks::drop), SearchField::fullName, start,
                 covers);
}

SearchHit CatalogueSearch::locateNode(QStringView text, SearchField field, int start, bool quiet)
{
    m_field = field;
    if (text.isEmpty())
        return {};
    const SearchHit hit =
        scan(text, m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive, field, start);
    if (!hit.found())
        return hit;
    m_findPos = hit.nextPos();
    if (!quiet)
        Q_EMIT hitToShow(hit.node);
    return hit;
}

CatalogueSearch::Step CatalogueSearch::findNext(QStringView text)
{
    if (text.isEmpty())
        return Step::NothingToFind;
    return locateNode(text, m_field, m_findPos, false).found() ? Step::Found : Step::NotFound;
}
