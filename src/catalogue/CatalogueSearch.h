#pragma once
#include "catalogue/FoldedIndex.h"
#include "catalogue/NodeTree.h"
#include "catalogue/TextFolding.h"

#include <QObject>
#include <QString>
#include <QStringView>
#include <functional>
#include <string>

// The node field a search compares.
enum class SearchField { name, comments, fullName, additional };

// The text of node that a search in Field compares: the display text for
// name, else the field of its record (empty when it has none).
QStringView searchedText(const TreeNode* node, SearchField field);

// The subject that starts the question after a search found nothing, such as
// "Document containing in the name".
QString notFoundSubject(SearchField field);

// Finds a text inside other texts, either exactly or as the find dialog
// does without "Match case" (TextFolding::FoldedMatcher: case, compatibility
// forms and invisible format characters do not count, accents do). The
// needle is prepared once; matching allocates nothing.
class TextMatcher
{
public:
    TextMatcher(QStringView needle, Qt::CaseSensitivity cs);

    bool isEmpty() const
    {
        return m_cs == Qt::CaseSensitive ? m_needle.isEmpty() : m_folded.isEmpty();
    }
    // True when the needle occurs anywhere in text; never for an empty one.
    bool matches(QStringView text) const;

private:
    QString m_needle;
    Qt::CaseSensitivity m_cs;
    TextFolding::FoldedMatcher m_folded;
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
// The scan reads the folded keys of the index it shares with the filter
// (FoldedIndex); a key holding the needle folded with accents dropped is a
// candidate, and the node's own text decides (the case, the accents, and
// any record written behind the tree's back: write records through
// NodeTree::setNodeData or editRecord, or a new text is found only after the
// next reset).
class CatalogueSearch : public QObject
{
    Q_OBJECT
public:
    enum class Step { NothingToFind, Found, NotFound };

    explicit CatalogueSearch(NodeTree& nodes, QObject* parent = nullptr);
    ~CatalogueSearch() override;

    // The folded keys, which the filter reads too.
    FoldedIndex& index() { return m_index; }

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

Q_SIGNALS:
    // A hit found by a scan that was not quiet: the window selects it.
    void hitToShow(TreeNode* node);

private:
    // The first node from Start on (in full order) whose Field passes Test,
    // with the index when it can be used; Needle (folded, accents dropped)
    // is then held by every key that can pass.
    SearchHit first(const std::string& needle, SearchField field, int start,
                    const std::function<bool(QStringView)>& test);

    NodeTree& m_nodes;
    FoldedIndex m_index;
    SearchField m_field = SearchField::name;
    int m_findPos = 0;
    bool m_matchCase = false;
};
