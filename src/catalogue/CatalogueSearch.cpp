#include "catalogue/CatalogueSearch.h"
#include "catalogue/TreeShape.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace
{

// The simple case folding of every UTF-16 unit, built once: looking a unit up
// here is what keeps the case-blind scan close to an exact one. Surrogates
// fold to themselves; pairs are folded as whole characters where they occur.
const char16_t* foldTable()
{
    static const std::unique_ptr<std::array<char16_t, 0x10000>> table = [] {
        auto t = std::make_unique<std::array<char16_t, 0x10000>>();
        for (char32_t u = 0; u < 0x10000; ++u) {
            const char32_t f = QChar::isSurrogate(u) ? u : QChar::toCaseFolded(u);
            (*t)[u] = char16_t(f > 0xFFFF ? u : f);
        }
        return t;
    }();
    return table->data();
}

// The character at P (one unit, or a valid surrogate pair), folded when
// Fold is given; P moves past it. A character whose folding would take
// another number of units stays as it is, so folded texts keep their length.
char32_t takeChar(const char16_t*& p, const char16_t* end, const char16_t* fold)
{
    const char16_t u = *p++;
    if (QChar::isHighSurrogate(u) && p < end && QChar::isLowSurrogate(*p)) {
        const char32_t c = QChar::surrogateToUcs4(u, *p++);
        const char32_t f = fold ? QChar::toCaseFolded(c) : c;
        return QChar::requiresSurrogates(f) ? f : c;
    }
    return fold ? fold[u] : u;
}

void foldInto(QString& out, QStringView text)
{
    const char16_t* fold = foldTable();
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char16_t* d = reinterpret_cast<char16_t*>(out.data()) + at;
    while (p < end) {
        const char32_t c = takeChar(p, end, fold);
        if (QChar::requiresSurrogates(c)) {
            *d++ = QChar::highSurrogate(c);
            *d++ = QChar::lowSurrogate(c);
        } else {
            *d++ = char16_t(c);
        }
    }
}

QString foldedCopy(QStringView text)
{
    QString out;
    out.reserve(text.size());
    foldInto(out, text);
    return out;
}

} // namespace

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
    : m_needle(cs == Qt::CaseSensitive ? needle.toString() : foldedCopy(needle)), m_cs(cs)
{
    if (!m_needle.isEmpty()) {
        m_first = m_needle.front().unicode();
        m_firstIsWide = QChar::isSurrogate(m_first);
    }
}

bool TextMatcher::restMatches(const char16_t* at, const char16_t* end) const
{
    const char16_t* n = reinterpret_cast<const char16_t*>(m_needle.utf16());
    const char16_t* nEnd = n + m_needle.size();
    const char16_t* fold = foldTable();
    while (n < nEnd) {
        if (at >= end)
            return false;
        if (takeChar(at, end, fold) != takeChar(n, nEnd, nullptr))
            return false;
    }
    return true;
}

bool TextMatcher::matches(QStringView text) const
{
    const qsizetype m = m_needle.size();
    if (m == 0 || text.size() < m)
        return false;
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    // A folded character keeps its number of units, so no hit starts later.
    const char16_t* last = end - m;
    if (m_cs == Qt::CaseSensitive) {
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
            if (*p == m_first && std::memcmp(p + 1, n + 1, restBytes) == 0)
                return true;
        return false;
    }
    const char16_t* fold = foldTable();
    if (m_firstIsWide) {
        // Rare: the needle starts with a character beyond the BMP, whose
        // other cases may have another first unit.
        for (; p <= last; ++p)
            if (QChar::isHighSurrogate(*p) && restMatches(p, end))
                return true;
        return false;
    }
    for (; p <= last; ++p)
        if (fold[*p] == m_first && restMatches(p, end))
            return true;
    return false;
}

// ---------------------------------------------------------------- search

namespace
{

// Patching a copy costs a look-up of the node in the full order; past this
// many changes, making the copy again is cheaper.
constexpr size_t MaxPatches = 32;

} // namespace

CatalogueSearch::CatalogueSearch(NodeTree& nodes, QObject* parent) : QObject(parent), m_nodes(nodes)
{
    onShapeChange(m_nodes, this, [this] { shapeChanged(); });
    connect(&m_nodes, &NodeTree::nodeRenamed, this,
            [this](TreeNode* node) { textChanged(node, false); });
    connect(&m_nodes, &NodeTree::recordChanged, this,
            [this](TreeNode* node) { textChanged(node, true); });
}

CatalogueSearch::~CatalogueSearch() = default;

void CatalogueSearch::shapeChanged()
{
    m_orderValid = false;
    // Copies are held only while they are good: a field searched once does
    // not keep its memory through later changes.
    for (FoldedField& f : m_folded)
        f = FoldedField();
}

void CatalogueSearch::textChanged(TreeNode* node, bool record)
{
    for (int i = 0; i < 4; ++i) {
        // A rename concerns the name's copy only, a record the others.
        if ((i == int(SearchField::name)) == record)
            continue;
        FoldedField& f = m_folded[i];
        if (!f.valid)
            continue;
        if (f.changed.size() < MaxPatches) {
            f.changed.push_back(node);
        } else {
            f.valid = false;
            f.changed.clear();
        }
    }
}

const std::vector<TreeNode*>& CatalogueSearch::fullOrder()
{
    if (!m_orderValid) {
        m_order.clear();
        m_order.reserve(size_t(m_nodes.count()));
        for (TreeNode* n = m_nodes.getFirstNode(); n; n = n->getNext())
            m_order.push_back(n);
        m_orderValid = true;
    }
    return m_order;
}

bool CatalogueSearch::append(FoldedField& f, Span& span, QStringView text)
{
    // Spans count in 32 bits: a field of more than 4G characters in all is
    // searched without a copy.
    if (quint64(f.text.size()) + quint64(text.size()) > std::numeric_limits<quint32>::max())
        return false;
    span.at = quint32(f.text.size());
    foldInto(f.text, text);
    span.size = quint32(f.text.size() - span.at);
    return true;
}

bool CatalogueSearch::build(FoldedField& f, SearchField field)
{
    const std::vector<TreeNode*>& order = fullOrder();
    f.text.clear();
    f.changed.clear();
    f.garbage = 0;
    f.spans.assign(order.size(), Span());
    for (size_t i = 0; i < order.size(); ++i)
        if (!append(f, f.spans[i], searchedText(order[i], field))) {
            f.text = QString();
            f.spans = {};
            f.valid = false;
            return false;
        }
    f.text.squeeze();
    f.valid = true;
    return true;
}

CatalogueSearch::FoldedField* CatalogueSearch::folded(SearchField field)
{
    FoldedField& f = m_folded[int(field)];
    const std::vector<TreeNode*>& order = fullOrder();
    if (f.valid && !f.changed.empty()) {
        for (TreeNode* n : f.changed) {
            const auto it = std::find(order.begin(), order.end(), n);
            if (it == order.end())
                continue;
            Span& span = f.spans[size_t(it - order.begin())];
            f.garbage += span.size;
            if (!append(f, span, searchedText(n, field))) {
                f.valid = false;
                break;
            }
        }
        f.changed.clear();
        if (f.garbage > f.text.size() / 2)
            f.valid = false; // mostly replaced texts by now
    }
    if (!f.valid && !build(f, field))
        return nullptr;
    return &f;
}

size_t CatalogueSearch::foldedBytes() const
{
    size_t bytes = m_order.capacity() * sizeof(TreeNode*);
    for (const FoldedField& f : m_folded)
        bytes += size_t(f.text.capacity()) * sizeof(QChar) + f.spans.capacity() * sizeof(Span) +
                 f.changed.capacity() * sizeof(TreeNode*);
    return bytes;
}

SearchHit CatalogueSearch::scan(QStringView text, Qt::CaseSensitivity cs, SearchField field,
                                int start)
{
    if (text.isEmpty())
        return {};
    start = std::max(start, 0);
    const TextMatcher live(text, cs);
    if (m_nodes.updating()) {
        // Inside a bulk change the views hear of nothing until its end, so
        // no kept order or copy can be trusted: walk the tree itself.
        int i = start;
        for (TreeNode* n = m_nodes.nodeAtAbsoluteIndex(start); n; n = n->getNext(), ++i)
            if (live.matches(searchedText(n, field)))
                return {n, i};
        return {};
    }
    const FoldedField* f = folded(field);
    const std::vector<TreeNode*>& order = fullOrder();
    if (!f) {
        for (size_t i = size_t(start); i < order.size(); ++i)
            if (live.matches(searchedText(order[i], field)))
                return {order[i], int(i)};
        return {};
    }
    // The folded needle in the folded copy finds every hit in either case;
    // the node's own text then decides (exact case, and any change that
    // was made behind the collection's back).
    const TextMatcher inCopy(foldedCopy(text), Qt::CaseSensitive);
    const char16_t* all = reinterpret_cast<const char16_t*>(f->text.utf16());
    for (size_t i = size_t(start); i < order.size(); ++i) {
        const Span s = f->spans[i];
        if (inCopy.matches(QStringView(all + s.at, qsizetype(s.size))) &&
            live.matches(searchedText(order[i], field)))
            return {order[i], int(i)};
    }
    return {};
}

SearchHit CatalogueSearch::scanLocations(QStringView path, int start)
{
    if (path.isEmpty())
        return {};
    start = std::max(start, 0);
    const auto covers = [path](QStringView location) {
        return location.startsWith(path) &&
               (location.size() == path.size() || location[path.size()] == u'/');
    };
    const FoldedField* f = m_nodes.updating() ? nullptr : folded(SearchField::fullName);
    if (!f) {
        int i = start;
        for (TreeNode* n = m_nodes.nodeAtAbsoluteIndex(start); n; n = n->getNext(), ++i)
            if (covers(searchedText(n, SearchField::fullName)))
                return {n, i};
        return {};
    }
    // The folded path must begin the folded copy, followed by '/' or the end
    // (a '/' folds to itself); the node's own text then decides.
    const QString needle = foldedCopy(path);
    const char16_t* all = reinterpret_cast<const char16_t*>(f->text.utf16());
    const std::vector<TreeNode*>& order = fullOrder();
    for (size_t i = size_t(start); i < order.size(); ++i) {
        const Span s = f->spans[i];
        if (qsizetype(s.size) < needle.size())
            continue;
        const QStringView copy(all + s.at, qsizetype(s.size));
        if (copy.startsWith(needle) &&
            (copy.size() == needle.size() || copy[needle.size()] == u'/') &&
            covers(searchedText(order[i], SearchField::fullName)))
            return {order[i], int(i)};
    }
    return {};
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
