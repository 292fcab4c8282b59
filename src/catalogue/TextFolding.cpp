#include "catalogue/TextFolding.h"

#include <QChar>
#include <QList>
#include <QString>

#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace TextFolding
{

namespace
{

constexpr char32_t HangulFirst = 0xAC00, HangulLast = 0xD7A3;
// No decomposition nests deeper; a bound keeps odd data from recursing.
constexpr int MaxDepth = 8;

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The folding of one character, in UTF-8.
void foldChar(char32_t c, Marks marks, std::string& out, int depth = 0)
{
    if (depth > MaxDepth || (c >= HangulFirst && c <= HangulLast)) {
        appendUtf8(out, c);
        return;
    }
    if (QChar::isSpace(c)) {
        out += ' ';
        return;
    }
    switch (QChar::category(c)) {
    case QChar::Other_Format:
    case QChar::Other_Control:
        return;
    case QChar::Mark_NonSpacing:
        if (marks == Marks::drop)
            return;
        break;
    default:
        break;
    }
    if (QChar::decompositionTag(c) != QChar::NoDecomposition) {
        for (const char32_t part : QChar::decomposition(c).toUcs4())
            foldChar(part, marks, out, depth + 1);
        return;
    }
    if (const char32_t f = QChar::toCaseFolded(c); f != c) {
        foldChar(f, marks, out, depth + 1);
        return;
    }
    // Letters that stand for two, or carry a stroke no decomposition removes.
    const char* spelled = nullptr;
    switch (c) {
    case U'\u00DF':
        spelled = "ss";
        break;
    case U'\u00E6':
        spelled = "ae";
        break;
    case U'\u00F8':
        spelled = "o";
        break;
    case U'\u0153':
        spelled = "oe";
        break;
    case U'\u0111':
        spelled = "d";
        break;
    case U'\u0142':
        spelled = "l";
        break;
    case U'\u00FE':
        spelled = "th";
        break;
    default:
        appendUtf8(out, c);
        return;
    }
    out += spelled;
}

// The folding of every UTF-16 unit, made once per kind: up to three bytes
// in the entry itself (length in bits 24-25), longer ones in a pool (bit 31
// set, offset in bits 0-23, length in bits 24-30). Surrogates are folded
// as whole characters where they occur.
struct Table {
    std::array<quint32, 0x10000> entries;
    std::string pool;
};

constexpr quint32 Pooled = 0x80000000u;

std::unique_ptr<Table> makeTable(Marks marks)
{
    auto t = std::make_unique<Table>();
    std::string folded;
    for (char32_t u = 0; u < 0x10000; ++u) {
        if (QChar::isSurrogate(u)) {
            t->entries[u] = 0;
            continue;
        }
        folded.clear();
        foldChar(u, marks, folded);
        if (folded.size() <= 3) {
            quint32 e = quint32(folded.size()) << 24;
            for (size_t i = 0; i < folded.size(); ++i)
                e |= quint32(quint8(folded[i])) << (8 * i);
            t->entries[u] = e;
        } else {
            t->entries[u] = Pooled | quint32(folded.size()) << 24 | quint32(t->pool.size());
            t->pool += folded;
        }
    }
    return t;
}

const Table& table(Marks marks)
{
    static const std::unique_ptr<Table> keep = makeTable(Marks::keep);
    static const std::unique_ptr<Table> drop = makeTable(Marks::drop);
    return marks == Marks::keep ? *keep : *drop;
}

char32_t decodeUtf8(const char* at, const char* end)
{
    const auto b = [&](int i) { return char32_t(quint8(at[i])); };
    const char32_t c = b(0);
    if (c < 0x80)
        return c;
    if (c < 0xE0 && end - at >= 2)
        return (c & 0x1F) << 6 | (b(1) & 0x3F);
    if (c < 0xF0 && end - at >= 3)
        return (c & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    if (end - at >= 4)
        return (c & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
    return 0;
}

} // namespace

void appendFolded(std::string& out, QStringView text, Marks marks)
{
    const Table& t = table(marks);
    // Folded a piece at a time into a buffer on the stack: no byte of the
    // result is written twice.
    constexpr size_t Room = 1024, Slack = 128;
    char chunk[Room + Slack];
    size_t n = 0;
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    while (p < end) {
        const char16_t u = *p++;
        const quint32 e = t.entries[u];
        if (!(e & Pooled) && !QChar::isSurrogate(u)) {
            // Writing all three bytes is cheaper than a branch on the length.
            chunk[n] = char(e);
            chunk[n + 1] = char(e >> 8);
            chunk[n + 2] = char(e >> 16);
            n += (e >> 24) & 3;
        } else {
            if (n)
                out.append(chunk, n);
            n = 0;
            if (e & Pooled) {
                out.append(t.pool, e & 0xFFFFFF, (e >> 24) & 0x7F);
            } else if (QChar::isHighSurrogate(u) && p < end && QChar::isLowSurrogate(*p)) {
                foldChar(QChar::surrogateToUcs4(u, *p++), marks, out);
            } else {
                appendUtf8(out, QChar::ReplacementCharacter);
            }
        }
        if (n >= Room) {
            out.append(chunk, n);
            n = 0;
        }
    }
    if (n)
        out.append(chunk, n);
}

std::string folded(QStringView text, Marks marks)
{
    std::string out;
    out.reserve(size_t(text.size()));
    appendFolded(out, text, marks);
    return out;
}

namespace
{

// How common a byte is in folded names, comments and paths: the scan tests
// each place for the two rarest bytes of the needle first.
int commonness(char byte)
{
    static const std::array<quint8, 256> table = [] {
        std::array<quint8, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[size_t(b)] = b >= 0xC0 ? 8 : b >= 0x80 ? 16 : 2;
        const char* letters = "zqjxkvbpygfwmucldrhsnioate"; // rarest first
        for (int i = 0; letters[i]; ++i)
            t[quint8(letters[i])] = quint8(10 + i);
        for (char d = '0'; d <= '9'; ++d)
            t[quint8(d)] = 12;
        for (const auto& [c, n] : {std::pair{' ', 40}, {'/', 38}, {'.', 20}, {'-', 18}, {'_', 15}})
            t[quint8(c)] = quint8(n);
        return t;
    }();
    return table[quint8(byte)];
}

} // namespace

const char* find(const char* begin, const char* end, std::string_view needle)
{
    const size_t m = needle.size();
    if (m == 0)
        return begin;
    if (size_t(end - begin) < m)
        return end;
    if (m == 1) {
        const void* hit = std::memchr(begin, needle[0], size_t(end - begin));
        return hit ? static_cast<const char*>(hit) : end;
    }
    const char* p = begin;
    const char* lastStart = end - m;
#ifdef __SSE2__
    // Sixteen places at a time, each checked for the needle's two rarest
    // bytes: most places fail on one of them without a comparison.
    size_t i = 0, j = 1;
    if (commonness(needle[j]) < commonness(needle[i]))
        std::swap(i, j);
    for (size_t k = 2; k < m; ++k) {
        if (commonness(needle[k]) < commonness(needle[i])) {
            j = i;
            i = k;
        } else if (commonness(needle[k]) < commonness(needle[j])) {
            j = k;
        }
    }
    const __m128i first = _mm_set1_epi8(needle[i]);
    const __m128i second = _mm_set1_epi8(needle[j]);
    for (const size_t reach = std::max(i, j) + 16; p + reach <= end; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(z, second))));
        while (mask) {
            const char* at = p + std::countr_zero(mask);
            if (at > lastStart)
                return end;
            if (std::memcmp(at, needle.data(), m) == 0)
                return at;
            mask &= mask - 1;
        }
    }
#endif
    for (; p <= lastStart; ++p)
        if (*p == needle[0] && std::memcmp(p + 1, needle.data() + 1, m - 1) == 0)
            return p;
    return end;
}

bool startsWithMark(const char* at, const char* end)
{
    // Every combining mark lies beyond U+02FF: two bytes or more.
    return at < end && quint8(*at) >= 0xCC && QChar::isMark(decodeUtf8(at, end));
}

FoldedMatcher::FoldedMatcher(QStringView needle) : m_needle(folded(needle, Marks::keep)) {}

bool FoldedMatcher::matches(QStringView text) const
{
    m_buffer.clear();
    appendFolded(m_buffer, text, Marks::keep);
    return matchesFolded(m_buffer);
}

bool FoldedMatcher::matchesFolded(std::string_view text) const
{
    if (m_needle.empty())
        return false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (const char* p = TextFolding::find(begin, end, m_needle); p != end;
         p = TextFolding::find(p + 1, end, m_needle))
        if (!startsWithMark(p + m_needle.size(), end))
            return true;
    return false;
}

} // namespace TextFolding
