#pragma once
#include "catalogue/NodeTree.h"

#include <QObject>
#include <QString>
#include <QStringView>
#include <vector>

// The node field a search compares.
enum class SearchField { name, comments, fullName, additional };

// The text of node that a search in Field compares: the display text for
// name, else the field of its record (empty when it has none).
QStringView searchedText(const TreeNode* node, SearchField field);

// The subject that starts the question after a search found nothing, such as
// "Document containing in the name".
QString notFoundSubject(SearchField field);

// Finds a text inside other texts, either exactly or ignoring case by simple
// Unicode case folding (as Qt::CaseInsensitive compares). The needle is
// folded once; a text is folded a character at a time as it is read, so
// matching allocates nothing.
class TextMatcher
{
public:
    TextMatcher(QStringView needle, Qt::CaseSensitivity cs);

    bool isEmpty() const { return m_needle.isEmpty(); }
    // True when the needle occurs anywhere in text; never for an empty one.
    bool matches(QStringView text) const;

private:
    bool restMatches(const char16_t* at, const char16_t* end) const;

    QString m_needle; // folded when case is ignored
    Qt::CaseSensitivity m_cs;
    char16_t m_first = 0;       // first unit of the (folded) needle
    bool m_firstIsWide = false; // the needle starts outside the BMP
};

// Where a scan stopped.
struct SearchHit {
    TreeNode* node = nullptr;
    int index = -1; // position of the node in the tree's full order

    bool found() const { return node != nullptr; }
    int nextPos() const { return index + 1; }
};

// The search state of a window over one tree and the scan that walks it.
// Positions count the tree's full order (a node, its subtree, then its next
// sibling; collapsed categories included) from 0. The position is a plain
// index, so after nodes were added or removed the next step starts at the
// same index of the changed tree; one past the end finds nothing.
//
// The nodes and their texts lie all over the heap, and fetching them costs
// far more than comparing. So the scan reads a folded copy of each searched
// field, all texts of a field in one buffer in full order, made when the field
// is first searched. Renames and record changes (through NodeTree::setNodeData
// and editRecord) are patched in before the next scan; a change of the tree's
// shape, or many changes at once, makes the copies again on the next scan.
// A hit in the copy is confirmed against the node's own text, so a record
// written directly through TreeNode::data() brings no stale hit; but its new
// text is found only after the next rebuild: write records through setNodeData
// or editRecord.
class CatalogueSearch : public QObject
{
    Q_OBJECT
public:
    enum class Step { NothingToFind, Found, NotFound };

    explicit CatalogueSearch(NodeTree& nodes, QObject* parent = nullptr);
    ~CatalogueSearch() override;

    SearchField field() const { return m_field; }
    void setField(SearchField field) { m_field = field; }
    int findPos() const { return m_findPos; }
    void setFindPos(int pos) { m_findPos = pos; }
    // Back to the first node: the find dialog closed, or the user chose to go
    // on from the beginning.
    void restart() { m_findPos = 0; }
    // The find dialog's match-case box.
    bool matchCase() const { return m_matchCase; }
    void setMatchCase(bool on) { m_matchCase = on; }

    // Scans from Start for the first node whose Field contains text. Makes
    // Field the current field; on a hit, the position moves past the hit and,
    // unless Quiet, hitToShow is emitted for it.
    SearchHit locateNode(QStringView text, SearchField field, int start, bool quiet);

    // One find-next step with the current field from the current position.
    // NotFound means the scan reached the end: the caller asks whether to go
    // on from the beginning (restart()).
    Step findNext(QStringView text);

    // The scan alone: no search state is read or changed.
    SearchHit scan(QStringView text, Qt::CaseSensitivity cs, SearchField field, int start);

    // The first node at Start or after it whose location is Path or lies
    // inside it (Path followed by '/'), compared exactly; Path is given
    // without a trailing '/'. No search state is read or changed.
    SearchHit scanLocations(QStringView path, int start);

    // Heap bytes the folded copies hold now (for measuring).
    size_t foldedBytes() const;

Q_SIGNALS:
    // A hit found by a scan that was not quiet: the window selects it.
    void hitToShow(TreeNode* node);

private:
    struct Span {
        quint32 at = 0;
        quint32 size = 0;
    };
    struct FoldedField {
        bool valid = false;
        QString text;                   // the folded texts one after another
        std::vector<Span> spans;        // one per node, in full order
        qsizetype garbage = 0;          // characters of texts replaced since
        std::vector<TreeNode*> changed; // to patch in before the next scan
    };

    void shapeChanged();
    void textChanged(TreeNode* node, bool record);
    const std::vector<TreeNode*>& fullOrder();
    FoldedField* folded(SearchField field);
    bool build(FoldedField& f, SearchField field);
    bool append(FoldedField& f, Span& span, QStringView text);

    NodeTree& m_nodes;
    SearchField m_field = SearchField::name;
    int m_findPos = 0;
    bool m_matchCase = false;

    std::vector<TreeNode*> m_order; // the nodes in full order
    bool m_orderValid = false;
    FoldedField m_folded[4]; // by SearchField
};
