#include "catalogue/CatalogueFilter.h"
#include "catalogue/TextFolding.h"

#include <algorithm>
#include <bit>

using TextFolding::Marks;

namespace
{

// Results kept for texts typed since the keys last changed; together they
// hold at most this many positions per node of the catalogue.
constexpr size_t MaxRecent = 32;
constexpr size_t MaxRecentPerNode = 4;
// Past this many words, words inside other words are not looked for.
constexpr size_t MaxWordsCompared = 64;
// A word found in more than this share of the keys is looked for in all keys
// at once rather than key by key.
constexpr size_t WholeScanShare = 16;

std::vector<std::string> foldedWords(QStringView text)
{
    const std::string all = TextFolding::folded(text, Marks::drop);
    std::vector<std::string> words;
    size_t from = 0;
    while (from < all.size()) {
        size_t end = all.find(' ', from);
        if (end == std::string::npos)
            end = all.size();
        if (end > from)
            words.emplace_back(all, from, end - from);
        from = end + 1;
    }
    return words;
}

// The words to look for: the longest first (it rules out the most keys),
// each once, none that lies inside another.
std::vector<std::string> wordsToFind(QStringView text)
{
    std::vector<std::string> words = foldedWords(text);
    std::sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
    words.erase(std::unique(words.begin(), words.end()), words.end());
    if (words.size() <= MaxWordsCompared) {
        std::vector<std::string> kept;
        for (std::string& w : words)
            if (std::none_of(kept.begin(), kept.end(),
                             [&w](const std::string& k) { return k.find(w) != std::string::npos; }))
                kept.push_back(std::move(w));
        words.swap(kept);
    }
    return words;
}

bool holdsAll(std::string_view key, const std::vector<std::string>& words, size_t from = 0)
{
    const char* end = key.data() + key.size();
    for (size_t i = from; i < words.size(); ++i)
        if (TextFolding::find(key.data(), end, words[i]) == end)
            return false;
    return true;
}

} // namespace

QString filterKey(QStringView text)
{
    return QString::fromStdString(TextFolding::folded(text, Marks::drop));
}

QStringList filterWords(QStringView text)
{
    QStringList out;
    for (const std::string& w : foldedWords(text))
        out << QString::fromStdString(w);
    return out;
}

CatalogueFilter::CatalogueFilter(FoldedIndex& index) : m_index(index) {}

std::vector<quint32> CatalogueFilter::scan(std::vector<std::string> words, const Result* narrowing)
{
    if (narrowing) {
        // Every key found before holds the words typed then, and so every
        // word inside one of them: only the others are looked for again
        // (a scan of the whole index each).
        const std::vector<std::string> held = wordsToFind(narrowing->text);
        std::erase_if(words, [&held](const std::string& w) {
            return std::any_of(held.begin(), held.end(), [&w](const std::string& h) {
                return h.find(w) != std::string::npos;
            });
        });
        if (words.empty())
            return narrowing->hits;
    }
    std::vector<quint32> hits;
    const size_t n = m_index.size();
    if (narrowing && narrowing->hits.size() <= n / WholeScanShare) {
        for (const quint32 p : narrowing->hits)
            if (holdsAll(m_index.key(p), words))
                hits.push_back(p);
        return hits;
    }
    // Many keys to look at: each word over the whole buffer while many keys
    // are left, then key by key.
    std::vector<quint64> bits((n + 63) / 64, 0), more;
    size_t next = 0;
    if (narrowing) {
        for (const quint32 p : narrowing->hits)
            bits[p / 64] |= quint64(1) << (p % 64);
    } else {
        m_index.markHolding(words.front(), bits);
        next = 1;
    }
    const auto count = [](const std::vector<quint64>& b) {
        size_t c = 0;
        for (const quint64 w : b)
            c += size_t(std::popcount(w));
        return c;
    };
    for (; next < words.size() && count(bits) > n / WholeScanShare; ++next) {
        more.assign(bits.size(), 0);
        m_index.markHolding(words[next], more);
        for (size_t i = 0; i < bits.size(); ++i)
            bits[i] &= more[i];
    }
    for (size_t i = 0; i < bits.size(); ++i)
        for (quint64 w = bits[i]; w; w &= w - 1) {
            const quint32 p = quint32(i * 64 + size_t(std::countr_zero(w)));
            if (next >= words.size() || holdsAll(m_index.key(p), words, next))
                hits.push_back(p);
        }
    return hits;
}

std::vector<TreeNode*> CatalogueFilter::match(QStringView text)
{
    std::vector<TreeNode*> found;
    const std::vector<std::string> words = wordsToFind(text);
    if (words.empty())
        return found;
    if (!m_index.prepare()) {
        // Inside a bulk change nothing kept can be trusted: read the tree.
        m_recent.clear();
        std::string key;
        for (TreeNode* n = m_index.nodes().getFirstNode(); n; n = n->getNext()) {
            key.clear();
            FoldedIndex::appendKey(key, n);
            if (holdsAll(key, words))
                found.push_back(n);
        }
        return found;
    }
    if (m_generation != m_index.generation()) {
        m_recent.clear();
        m_generation = m_index.generation();
    }
    // The same text again, or the longest one it adds to.
    const Result* narrowing = nullptr;
    auto same = m_recent.end();
    for (auto it = m_recent.begin(); it != m_recent.end(); ++it) {
        if (it->text == text)
            same = it;
        else if (text.startsWith(it->text) &&
                 (!narrowing || it->text.size() > narrowing->text.size()))
            narrowing = &*it;
    }
    Result result;
    if (same != m_recent.end()) {
        result = std::move(*same);
        m_recent.erase(same);
    } else {
        result.text = text.toString();
        result.hits = scan(words, narrowing);
    }
    found.reserve(result.hits.size());
    for (const quint32 p : result.hits)
        found.push_back(m_index.node(p));
    // Kept newest last, within bounds.
    m_recent.push_back(std::move(result));
    const auto held = [this] {
        size_t total = 0;
        for (const Result& r : m_recent)
            total += r.hits.size();
        return total;
    };
    while (m_recent.size() > 1 &&
           (m_recent.size() > MaxRecent || held() > MaxRecentPerNode * m_index.size() + 1024))
        m_recent.erase(m_recent.begin());
    return found;
}
