#pragma once
#include "catalogue/NodeTree.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

class CatalogueSearch;

// Keeping links in step after a real file or folder was deleted or moved.
//
// A link counts when it is a document or folder entry whose location is the
// old path itself or lies inside it (the old path followed by '/'). paths
// compare exactly, whatever the search's match-case box says: on this file
// system /a/Doc and /a/doc are different files. Trailing slashes are ignored
// on both sides. Hyperlinks, e-mail addresses and categories never count.

// True when Location is path or lies inside it.
bool pathCovers(QStringView path, QStringView location);

// Location with the leading path replaced by NewPath: /a/old/x.pdf becomes
// /b/new/x.pdf when /a/old moved to /b/new. Location must be covered by path.
QString repointedPath(QStringView location, QStringView path, QStringView newPath);

// True for the entries that point at a file or folder.
bool isFileLink(const TreeNode* node);

// The question the user is asked before the links are changed (Moved) or
// removed; its line break is a '\n'.
QString linkUpdateQuestion(bool moved);

// One update of the links to OldPath (removed without NewPath, re-pointed
// with it), done a slice at a time from the event loop so that the window
// keeps answering over any number of links: the links are found by a walk
// of the tree, Ask is called once with the question when some link counts
// (false leaves every link as it is), then they change. The tree must change
// through nobody else meanwhile (the window takes no edits); if it does, the
// walk starts again. With a search, it stands afterwards as a scan of
// locations that stopped after the last link handled. Finished follows once,
// at the end.
class LinkUpdate : public QObject
{
    Q_OBJECT
public:
    // The longest a slice holds the event loop, give or take one piece of
    // work that cannot be split (a reorder of one parent's rows).
    static constexpr qint64 SliceMs = 8;
    // The budget of each slice (tests make it 0: one
    // piece of work per turn of the event loop).
    static qint64& sliceBudget();
    // Rows of one run removed at a time.
    static constexpr int RowsPerRemoval = 8192;

    LinkUpdate(NodeTree& nodes, CatalogueSearch* search, const QString& oldPath,
               const std::optional<QString>& newPath,
               std::function<bool(const QString& question)> ask, QObject* parent = nullptr);
    ~LinkUpdate() override;

    // Runs from the event loop from now on.
    void start();
    // The rest, now (the end of the run, tools without an event loop).
    void finishNow();
    bool done() const { return m_phase == Phase::Done; }
    // Links removed or re-pointed so far.
    int changed() const { return m_changed; }

Q_SIGNALS:
    void finished(int changed);

private:
    enum class Phase { Find, Ask, Group, Gather, Remove, Repoint, Done };
    struct Group {
        TreeNode* parent;
        std::vector<TreeNode*> children; // from the last row up
    };
    // Works until Budget is spent or the update is done; true when done.
    bool work(qint64 budgetMs);
    void find(const QElapsedTimer& clock, qint64 budgetMs);
    void ask();
    void group(const QElapsedTimer& clock, qint64 budgetMs);
    void gather(const QElapsedTimer& clock, qint64 budgetMs);
    void remove(const QElapsedTimer& clock, qint64 budgetMs);
    void repoint(const QElapsedTimer& clock, qint64 budgetMs);
    void finish();
    void outsideChange();

    NodeTree& m_nodes;
    CatalogueSearch* m_search;
    QString m_oldPath;
    std::optional<QString> m_newPath;
    std::function<bool(const QString&)> m_ask;
    Phase m_phase = Phase::Find;
    QTimer m_timer;
    bool m_own = false;     // the tree changes through this update
    bool m_working = false; // inside work() (its question may let the event loop run)
    bool m_finishNow = false;
    bool m_walking = false;  // m_next holds where the walk goes on
    bool m_answered = false; // the question was asked and answered yes
    int m_changed = 0;
    int m_lastHit = -1; // full-order index of the last link handled, as it was then
    // The walk: the next node and its full-order index.
    TreeNode* m_next = nullptr;
    int m_index = 0;
    std::vector<TreeNode*> m_links;
    std::vector<int> m_linkIndexes;
    size_t m_done = 0; // links grouped or re-pointed, or rows of the group removed, so far
    std::vector<Group> m_groups;
    std::unordered_map<const TreeNode*, size_t> m_groupOf; // parent -> its group
    size_t m_currentGroup = 0;
    const TreeNode* m_lastDoomed = nullptr;
    int m_removedBefore = 0; // nodes that go before the link being grouped
    size_t m_group = 0;      // the group being gathered or removed
};

// Removes (no NewPath) or re-points (NewPath given) every link to OldPath,
// walking the tree in full order. Ask is called at most once, with the
// question, and only when some link counts; false leaves every link as it
// is. Without Ask, nothing is asked. Returns how many links were removed or
// re-pointed. A removed link goes with anything filed below it. The caller
// refills the list.
int updateLinksTo(NodeTree& nodes, const QString& oldPath, const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask = {});

// The same, as the window's search sees it afterwards: the search field is
// the location, and the position stands after the last link handled (after
// the first one when the user said no), so a following find-next goes on
// from there; without any link the position stays.
int updateLinksTo(CatalogueSearch& search, NodeTree& nodes, const QString& oldPath,
                  const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask = {});
