#pragma once
#include <QStringView>
#include <string>
#include <string_view>

// Texts as the search and the filter compare them when case does not
// matter, in UTF-8 (half the bytes of the usual texts to keep and to read).
//
// Each character is replaced on its own, so a text's folding is the
// foldings of its characters one after another and a piece of a text folds
// to a piece of its folding: format characters (Unicode category Cf: marks
// of direction, soft hyphens, zero-width spaces) and other controls go;
// blanks of every kind become ' '; the rest is decomposed as the
// compatibility normalisation does (full-width letters, ligatures,
// accents set apart), case folded, and letters that have no decomposition
// are spelled out (ß ss, æ ae, ø o, œ oe, đ d, ł l, þ th). Hangul syllables
// stay whole: their decomposition into letters would let one letter find
// every syllable that starts with it.
namespace TextFolding
{

enum class Marks {
    keep, // accents stay, as combining marks after their letter (find)
    drop, // combining marks go too: "resume" finds "Résumé" (the filter)
};

void appendFolded(std::string& out, QStringView text, Marks marks);
std::string folded(QStringView text, Marks marks);

// The first place at or after Begin where Needle starts, or End. An empty
// needle is found at Begin.
const char* find(const char* begin, const char* end, std::string_view needle);

// True when the folded text continues at At with a combining mark: a match
// that ends there took a letter away from its accent.
bool startsWithMark(const char* at, const char* end);

// Finds a needle in texts as the find dialog does without "Match case": the
// needle folded (accents kept) inside the text folded the same way, never
// ending between a letter and its accent. The needle is folded once; each
// text is folded into a buffer that is kept for the next one.
class FoldedMatcher
{
public:
    explicit FoldedMatcher(QStringView needle);
    bool isEmpty() const { return m_needle.empty(); }
    const std::string& needle() const { return m_needle; }
    bool matches(QStringView text) const;
    // The same test on a text folded already.
    bool matchesFolded(std::string_view text) const;

private:
    std::string m_needle;
    mutable std::string m_buffer;
};

} // namespace TextFolding
