#pragma once
#include "catalogue/FoldedIndex.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <string>
#include <vector>

// Text as the filter compares it (TextFolding with accents dropped): case,
// accents, compatibility forms and invisible format characters do not
// count, so "RESUME" finds "Résumé" and "strasse" finds "Straße".
QString filterKey(QStringView text);
// The words of a filter text, each as filterKey makes it; blanks separate.
QStringList filterWords(QStringView text);

// The instant filter over the whole catalogue: which nodes hold every word
// of a text in their name, comment, location or additional value.
//
// It reads the folded keys the search keeps (FoldedIndex). The results of
// the last texts are kept while the keys stay the same: a text typed before
// (a letter taken back) is answered at once, and a text that only adds to
// one of them (more letters, another word) is looked for among that one's
// result alone, which keeps typing fast in a large catalogue.
class CatalogueFilter
{
public:
    explicit CatalogueFilter(FoldedIndex& index);

    // The nodes, in full order, whose fields hold every word of text
    // (nothing for a text without words).
    std::vector<TreeNode*> match(QStringView text);

private:
    struct Result {
        QString text;
        std::vector<quint32> hits; // positions in the index
    };

    std::vector<quint32> scan(std::vector<std::string> words, const Result* narrowing);

    FoldedIndex& m_index;
    std::vector<Result> m_recent; // oldest first
    quint64 m_generation = 0;     // the index's, when m_recent was found
};
