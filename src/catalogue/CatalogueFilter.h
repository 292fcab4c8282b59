#pragma once
#include "catalogue/NodeTree.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

// Text as the filter compares it: case folded, accents dropped (a letter
// with a canonical decomposition becomes its base letter, combining marks
// go), so "RESUME" finds "Résumé".
QString filterKey(QStringView text);
// The words of a filter text, each as filterKey makes it; blanks separate.
QStringList filterWords(QStringView text);

// The instant filter over the whole catalogue: which nodes hold every word
// of a text in their name, comment, location or additional value.
//
// Like the search, it reads a key of every node (the four fields, folded
// and without accents) from one buffer in the tree's full order, made on
// the first use and kept in step with the tree: renames and records are
// patched in, a change of shape makes it again. A text that only adds to the
// previous one (more letters, another word) is looked for among the
// previous result alone, which keeps typing fast in a large catalogue.
class CatalogueFilter : public QObject
{
    Q_OBJECT
public:
    explicit CatalogueFilter(NodeTree& nodes, QObject* parent = nullptr);
    ~CatalogueFilter() override;

    // The nodes, in full order, whose fields hold every word of text
    // (nothing for a text without words).
    std::vector<TreeNode*> match(QStringView text);

    // Lets the keys go (the filter was cleared); the next match makes them again.
    void release() { shapeChanged(); }

    // Heap bytes the keys hold now (for measuring).
    size_t keyBytes() const;

private:
    struct Span {
        quint32 at = 0;
        quint32 size = 0;
    };

    void shapeChanged();
    void textChanged(TreeNode* node);
    bool prepare();
    void build();
    void append(Span& span, const TreeNode* node);

    NodeTree& m_nodes;
    bool m_valid = false;
    std::vector<TreeNode*> m_order; // the nodes in full order
    std::vector<Span> m_spans;      // each node's key in m_keys
    QString m_keys;
    qsizetype m_garbage = 0;          // characters of keys replaced since
    std::vector<TreeNode*> m_changed; // to patch in before the next match

    // The previous text's words and the positions of its hits, while the
    // keys they were found in are unchanged.
    QStringList m_lastWords;
    std::vector<quint32> m_lastHits;
    bool m_lastValid = false;
};
