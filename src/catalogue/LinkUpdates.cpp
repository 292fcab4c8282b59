#include "catalogue/LinkUpdates.h"
#include "catalogue/CatalogueSearch.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace
{

// path without its trailing slashes; the root stays "/".
QStringView withoutTrailingSlashes(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

int subtreeSize(const TreeNode* node)
{
    int size = 1;
    for (const TreeNode* n = node->getNext(); n && n->isUnder(node); n = n->getNext())
        ++size;
    return size;
}

// Nodes walked, or runs removed, between two looks at the clock.
constexpr int StepsBetweenClockReads = 256;
// Scattered among more siblings than this, the links of one parent are
// first brought together after the others (one change of layout).
constexpr size_t MaxRunsInPlace = 8;

} // namespace

bool pathCovers(QStringView path, QStringView location)
{
    path = withoutTrailingSlashes(path);
    location = withoutTrailingSlashes(location);
    if (path.isEmpty() || location.isEmpty())
        return false;
    if (path == u"/")
        return location.startsWith(u'/');
    return location.startsWith(path) &&
           (location.size() == path.size() || location[path.size()] == u'/');
}

QString repointedPath(QStringView location, QStringView path, QStringView newPath)
{
    path = withoutTrailingSlashes(path);
    if (withoutTrailingSlashes(location) == path)
        return newPath.toString();
    // What follows the old path, from its separating slash on (the root
    // "/" ends in that slash itself).
    const QStringView rest = location.mid(path == u"/" ? 0 : path.size());
    const QStringView base = withoutTrailingSlashes(newPath);
    if (base == u"/")
        return rest.toString();
    return base.toString().append(rest);
}

bool isFileLink(const TreeNode* node)
{
    const NodeInfo* info = node->data();
    return info && (info->kind == NodeKind::Doc || info->kind == NodeKind::Folder);
}

QString linkUpdateQuestion(bool moved)
{
    return moved ? QStringLiteral("There are yet links to replaced file from the program.\n"
                                  "Change all links to this file?")
                 : QStringLiteral("There are yet links to deleted file from the program.\n"
                                  "Remove all links to this file?");
}

// ---------------------------------------------------------------- the update

LinkUpdate::LinkUpdate(NodeTree& nodes, CatalogueSearch* search, const QString& oldPath,
                       const std::optional<QString>& newPath,
                       std::function<bool(const QString& question)> ask, QObject* parent)
    : QObject(parent), m_nodes(nodes), m_search(search), m_oldPath(oldPath), m_newPath(newPath),
      m_ask(std::move(ask))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &LinkUpdate::start); // the next slice
    // Nodes are held from one slice to the next: a change by anyone else
    // (which the window refuses meanwhile) sends the walk back to the start.
    const auto outside = [this] { outsideChange(); };
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeInserted, this, outside);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeRemoved, this, outside);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeMoved, this, outside);
    connect(&nodes, &QAbstractItemModel::layoutAboutToBeChanged, this, outside);
    connect(&nodes, &QAbstractItemModel::modelAboutToBeReset, this, outside);
}

LinkUpdate::~LinkUpdate() = default;

qint64& LinkUpdate::sliceBudget()
{
    static qint64 budget = SliceMs;
    return budget;
}

void LinkUpdate::start()
{
    if (!work(sliceBudget()))
        m_timer.start();
}

void LinkUpdate::finishNow()
{
    m_timer.stop();
    if (m_working) {
        m_finishNow = true; // the question is open: the rest follows its answer
        return;
    }
    work(std::numeric_limits<qint64>::max());
}

bool LinkUpdate::work(qint64 budgetMs)
{
    if (m_phase == Phase::Done || m_working)
        return m_phase == Phase::Done;
    m_working = true;
    QElapsedTimer clock;
    clock.start();
    // At least one piece of work per slice, whatever the budget.
    do {
        const qint64 budget = m_finishNow ? std::numeric_limits<qint64>::max() : budgetMs;
        switch (m_phase) {
        case Phase::Find:
            find(clock, budget);
            break;
        case Phase::Ask:
            ask();
            break;
        case Phase::Group:
            group(clock, budget);
            break;
        case Phase::Gather:
            gather(clock, budget);
            break;
        case Phase::Remove:
            remove(clock, budget);
            break;
        case Phase::Repoint:
            repoint(clock, budget);
            break;
        case Phase::Done:
            break;
        }
    } while (m_phase != Phase::Done && (clock.elapsed() < budgetMs || m_finishNow));
    m_working = false;
    if (m_phase != Phase::Done)
        return false;
    m_timer.stop();
    if (m_search) {
        // As a scan of locations that stopped after its last hit: F3 goes
        // on from there.
        m_search->setField(SearchField::fullName);
        if (m_lastHit >= 0)
            m_search->setFindPos(m_lastHit + 1);
    }
    Q_EMIT finished(m_changed);
    return true;
}

void LinkUpdate::outsideChange()
{
    if (m_own || m_phase == Phase::Done)
        return;
    m_links.clear();
    m_linkIndexes.clear();
    m_groups.clear();
    m_groupOf.clear();
    m_group = m_done = m_currentGroup = 0;
    m_lastDoomed = nullptr;
    m_removedBefore = 0;
    m_walking = false;
    m_phase = Phase::Find;
}

void LinkUpdate::find(const QElapsedTimer& clock, qint64 budgetMs)
{
    if (!m_walking) {
        m_next = m_nodes.getFirstNode();
        m_index = 0;
        m_walking = true;
    }
    for (int steps = 0; m_next; m_next = m_next->getNext(), ++m_index) {
        if (isFileLink(m_next) && pathCovers(m_oldPath, m_next->data()->fullName)) {
            m_links.push_back(m_next);
            m_linkIndexes.push_back(m_index);
        }
        if (++steps == StepsBetweenClockReads) {
            steps = 0;
            if (clock.elapsed() >= budgetMs) {
                m_next = m_next->getNext();
                ++m_index;
                return;
            }
        }
    }
    m_walking = false;
    if (m_links.empty())
        m_phase = Phase::Done;
    else
        m_phase = m_answered ? (m_newPath ? Phase::Repoint : Phase::Group) : Phase::Ask;
}

void LinkUpdate::ask()
{
    m_lastHit = m_linkIndexes.front();
    const bool yes = !m_ask || m_ask(linkUpdateQuestion(m_newPath.has_value()));
    if (m_phase != Phase::Ask) { // the tree changed while the question was open
        m_answered = yes;
        if (!yes)
            m_phase = Phase::Done;
        return;
    }
    m_answered = yes;
    m_done = 0;
    m_phase = !yes ? Phase::Done : m_newPath ? Phase::Repoint : Phase::Group;
}

void LinkUpdate::group(const QElapsedTimer& clock, qint64 budgetMs)
{
    // A link filed below another link goes with it. Each removal moves the
    // ones after it forward in full order by the size of what went.
    for (int steps = 0; m_done < m_links.size(); ++m_done) {
        TreeNode* link = m_links[m_done];
        if (m_lastDoomed && m_lastDoomed->hasChildren() && link->isUnder(m_lastDoomed))
            continue;
        m_lastHit = m_linkIndexes[m_done] - m_removedBefore;
        m_removedBefore += link->hasChildren() ? subtreeSize(link) : 1;
        m_lastDoomed = link;
        TreeNode* parent = link->parent();
        if (m_groups.empty() || m_groups[m_currentGroup].parent != parent) {
            const auto [it, made] = m_groupOf.try_emplace(parent, m_groups.size());
            if (made)
                m_groups.push_back({parent, {}});
            m_currentGroup = it->second;
        }
        m_groups[m_currentGroup].children.push_back(link);
        if (++steps == StepsBetweenClockReads) {
            steps = 0;
            if (clock.elapsed() >= budgetMs) {
                ++m_done;
                return;
            }
        }
    }
    m_links = {};
    m_groupOf = {};
    // Full order met each parent's children from the first row down.
    for (Group& g : m_groups)
        std::reverse(g.children.begin(), g.children.end());
    m_group = m_done = 0;
    m_phase = Phase::Gather;
}

void LinkUpdate::gather(const QElapsedTimer& clock, qint64 budgetMs)
{
    // Every parent's links are brought together before any goes, so that
    // the folded index has no removal to work in at each change of layout.
    m_own = true;
    for (; m_group < m_groups.size(); ++m_group) {
        const Group& g = m_groups[m_group];
        size_t runs = 1;
        for (size_t i = 1; i < g.children.size() && runs <= MaxRunsInPlace; ++i)
            if (g.children[i]->index() != g.children[i - 1]->index() - 1)
                ++runs;
        if (runs > MaxRunsInPlace)
            m_nodes.gatherLast(g.parent, g.children);
        if (clock.elapsed() >= budgetMs) {
            ++m_group;
            break;
        }
    }
    m_own = false;
    if (m_group >= m_groups.size()) {
        m_group = m_done = 0;
        m_phase = Phase::Remove;
    }
}

void LinkUpdate::remove(const QElapsedTimer& clock, qint64 budgetMs)
{
    // Runs from the last row up, so that the rows still to go stay where
    // they are; a long run goes a part at a time.
    m_own = true;
    while (m_group < m_groups.size()) {
        const Group& g = m_groups[m_group];
        if (m_done >= g.children.size()) {
            ++m_group;
            m_done = 0;
            continue;
        }
        size_t end = m_done + 1;
        while (end < g.children.size() && end - m_done < size_t(RowsPerRemoval) &&
               g.children[end]->index() == g.children[end - 1]->index() - 1)
            ++end;
        m_nodes.deleteRows(g.parent, g.children[end - 1]->index(), g.children[m_done]->index());
        m_changed += int(end - m_done);
        m_done = end;
        if (clock.elapsed() >= budgetMs)
            break;
    }
    m_own = false;
    if (m_group >= m_groups.size()) {
        m_groups = {};
        m_phase = Phase::Done;
    }
}

void LinkUpdate::repoint(const QElapsedTimer& clock, qint64 budgetMs)
{
    for (int steps = 0; m_done < m_links.size(); ++m_done) {
        TreeNode* link = m_links[m_done];
        const QString to = repointedPath(link->data()->fullName, m_oldPath, *m_newPath);
        m_nodes.editRecord(link, [&](NodeInfo& info) { info.fullName = to; });
        ++m_changed;
        if (++steps == StepsBetweenClockReads) {
            steps = 0;
            if (clock.elapsed() >= budgetMs) {
                ++m_done;
                return;
            }
        }
    }
    m_lastHit = m_linkIndexes.back();
    m_phase = Phase::Done;
}

// ---------------------------------------------------------------- at once

int updateLinksTo(NodeTree& nodes, const QString& oldPath, const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask)
{
    LinkUpdate update(nodes, nullptr, oldPath, newPath, ask);
    update.finishNow();
    return update.changed();
}

int updateLinksTo(CatalogueSearch& search, NodeTree& nodes, const QString& oldPath,
                  const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask)
{
    LinkUpdate update(nodes, &search, oldPath, newPath, ask);
    update.finishNow();
    return update.changed();
}
