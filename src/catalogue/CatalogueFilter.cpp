#include "catalogue/CatalogueFilter.h"
#include "catalogue/CatalogueSearch.h"
#include "catalogue/TreeShape.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

namespace
{

// Every UTF-16 unit as the filter sees it, built once: 0 for a combining
// mark (dropped), else the folded base letter. Hangul syllables decompose
// into their letters and must stay whole; surrogates stay as they are.
const char16_t* keyTable()
{
    static const std::unique_ptr<std::array<char16_t, 0x10000>> table = [] {
        auto t = std::make_unique<std::array<char16_t, 0x10000>>();
        for (char32_t u = 0; u < 0x10000; ++u) {
            char32_t c = u;
            if (QChar::isSurrogate(u) || (u >= 0xAC00 && u <= 0xD7A3)) {
                (*t)[u] = char16_t(u);
                continue;
            }
            if (QChar::category(u) == QChar::Mark_NonSpacing) {
                (*t)[u] = 0;
                continue;
            }
            // Decomposing and folding may each give a letter the other
            // changes again (the Angstrom sign, capitals with accents).
            for (int round = 0; round < 4; ++round) {
                while (QChar::decompositionTag(c) == QChar::Canonical) {
                    const QString d = QChar::decomposition(c);
                    if (d.isEmpty() || d.front().isSurrogate())
                        break;
                    c = d.front().unicode();
                }
                const char32_t f = QChar::toCaseFolded(c);
                if (f == c || f > 0xFFFF)
                    break;
                c = f;
            }
            (*t)[u] = QChar::category(c) == QChar::Mark_NonSpacing ? 0 : char16_t(c);
        }
        return t;
    }();
    return table->data();
}

void appendKey(QString& out, QStringView text)
{
    const char16_t* table = keyTable();
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char16_t* d = reinterpret_cast<char16_t*>(out.data()) + at;
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    char16_t* start = d;
    for (; p < end; ++p)
        if (const char16_t k = table[*p])
            *d++ = k;
    out.resize(at + (d - start));
}

// What separates the fields in a node's key: no word holds it, so no word
// is found across two fields.
constexpr char16_t FieldBreak = u'\x01';

void appendNodeKey(QString& out, const TreeNode* node)
{
    appendKey(out, node->text());
    if (const NodeInfo* info = node->data()) {
        for (const QString* field : {&info->comments, &info->fullName, &info->sAdditional}) {
            out += QChar(FieldBreak);
            appendKey(out, *field);
        }
    }
}

// Patching a key costs a look-up of the node in the full order; past this
// many changes, making the keys again is cheaper.
constexpr size_t MaxPatches = 32;

} // namespace

QString filterKey(QStringView text)
{
    QString out;
    appendKey(out, text);
    return out;
}

QStringList filterWords(QStringView text)
{
    QStringList words;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text[i].isSpace())
            continue;
        if (i > start) {
            QString key = filterKey(text.mid(start, i - start));
            key.remove(QChar(FieldBreak));
            if (!key.isEmpty())
                words.append(key);
        }
        start = i + 1;
    }
    return words;
}

CatalogueFilter::CatalogueFilter(NodeTree& nodes, QObject* parent) : QObject(parent), m_nodes(nodes)
{
    onShapeChange(m_nodes, this, [this] { shapeChanged(); });
    connect(&m_nodes, &NodeTree::nodeRenamed, this, &CatalogueFilter::textChanged);
    connect(&m_nodes, &NodeTree::recordChanged, this, &CatalogueFilter::textChanged);
}

CatalogueFilter::~CatalogueFilter() = default;

void CatalogueFilter::shapeChanged()
{
    m_valid = false;
    m_lastValid = false;
    m_order = {};
    m_spans = {};
    m_keys = QString();
    m_changed.clear();
}

void CatalogueFilter::textChanged(TreeNode* node)
{
    m_lastValid = false; // the node may hold the words now
    if (!m_valid)
        return;
    if (m_changed.size() < MaxPatches)
        m_changed.push_back(node);
    else
        shapeChanged();
}

void CatalogueFilter::append(Span& span, const TreeNode* node)
{
    const qsizetype at = m_keys.size();
    appendNodeKey(m_keys, node);
    span.at = quint32(at);
    span.size = quint32(m_keys.size() - at);
}

void CatalogueFilter::build()
{
    m_order.clear();
    m_order.reserve(size_t(m_nodes.count()));
    for (TreeNode* n = m_nodes.getFirstNode(); n; n = n->getNext())
        m_order.push_back(n);
    m_spans.assign(m_order.size(), Span());
    m_keys.clear();
    m_garbage = 0;
    m_changed.clear();
    for (size_t i = 0; i < m_order.size(); ++i)
        append(m_spans[i], m_order[i]);
    m_keys.squeeze();
    m_valid = true;
}

bool CatalogueFilter::prepare()
{
    if (m_valid && !m_changed.empty()) {
        for (TreeNode* n : m_changed) {
            const auto it = std::find(m_order.begin(), m_order.end(), n);
            if (it == m_order.end())
                continue;
            Span& span = m_spans[size_t(it - m_order.begin())];
            m_garbage += span.size;
            append(span, n);
        }
        m_changed.clear();
        if (m_garbage > m_keys.size() / 2)
            m_valid = false; // mostly replaced keys by now
    }
    if (!m_valid)
        build();
    // Spans count in 32 bits: a catalogue with more text than that is
    // filtered node by node.
    return quint64(m_keys.size()) <= std::numeric_limits<quint32>::max();
}

size_t CatalogueFilter::keyBytes() const
{
    return m_order.capacity() * sizeof(TreeNode*) + m_spans.capacity() * sizeof(Span) +
           size_t(m_keys.capacity()) * sizeof(QChar);
}

std::vector<TreeNode*> CatalogueFilter::match(QStringView text)
{
    QStringList words = filterWords(text);
    std::vector<TreeNode*> found;
    if (words.isEmpty()) {
        m_lastValid = false;
        return found;
    }
    // The longest word first: it rules out the most nodes.
    std::stable_sort(words.begin(), words.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });
    std::vector<TextMatcher> matchers;
    matchers.reserve(size_t(words.size()));
    for (const QString& w : words)
        matchers.emplace_back(w, Qt::CaseSensitive);
    const auto holdsAll = [&matchers](QStringView key) {
        for (const TextMatcher& m : matchers)
            if (!m.matches(key))
                return false;
        return true;
    };

    if (m_nodes.updating() || !prepare()) {
        // Inside a bulk change nothing kept can be trusted: read the tree.
        m_lastValid = false;
        QString key;
        for (TreeNode* n = m_nodes.getFirstNode(); n; n = n->getNext()) {
            key.clear();
            appendNodeKey(key, n);
            if (holdsAll(key))
                found.push_back(n);
        }
        return found;
    }

    // Every hit of the new words was a hit of the old ones when each old
    // word lies inside a new one.
    bool narrowing = m_lastValid;
    for (const QString& old : std::as_const(m_lastWords)) {
        if (!narrowing)
            break;
        narrowing = std::any_of(words.cbegin(), words.cend(),
                                [&old](const QString& w) { return w.contains(old); });
    }
    const QStringView keys(m_keys);
    std::vector<quint32> hits;
    const auto test = [&](quint32 i) {
        const Span s = m_spans[i];
        if (holdsAll(keys.mid(s.at, s.size)))
            hits.push_back(i);
    };
    if (narrowing) {
        for (const quint32 i : m_lastHits)
            test(i);
    } else {
        for (quint32 i = 0; i < quint32(m_order.size()); ++i)
            test(i);
    }
    found.reserve(hits.size());
    for (const quint32 i : hits)
        found.push_back(m_order[i]);
    m_lastWords = words;
    m_lastHits = std::move(hits);
    m_lastValid = true;
    return found;
}
