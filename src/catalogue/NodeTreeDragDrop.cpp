// Drags and drops of nodes inside the program, through the tree's model.
#include "catalogue/NodeTree.h"

#include <QCoreApplication>
#include <QMimeData>

namespace
{

QString nodesFormat()
{
    return QString::fromLatin1(NodeTree::NodesMimeType);
}

// "process:drag number"
QByteArray dragTag(quint64 number)
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(number);
}

// One undo step around a drop, when the tree has steps.
class DropStep
{
public:
    DropStep(StepScopes* scopes, const QString& text) : m_scopes(scopes)
    {
        if (m_scopes)
            m_scopes->openStep(text);
    }
    ~DropStep()
    {
        if (m_scopes)
            m_scopes->closeStep();
    }
    DropStep(const DropStep&) = delete;
    DropStep& operator=(const DropStep&) = delete;

private:
    StepScopes* m_scopes;
};

} // namespace

QMimeData* NodeTree::nodeMimeData(TreeNode* node) const
{
    if (!node)
        return nullptr;
    m_dragged = NodeRef(const_cast<NodeTree&>(*this), node);
    auto* data = new QMimeData;
    data->setData(nodesFormat(), dragTag(++m_dragNumber));
    return data;
}

TreeNode* NodeTree::draggedNode(const QMimeData* data) const
{
    if (!data || !m_dragged || !data->hasFormat(nodesFormat()))
        return nullptr;
    return data->data(nodesFormat()) == dragTag(m_dragNumber) ? m_dragged.get() : nullptr;
}

NodeTree::DropPlace NodeTree::dropPlace(const TreeNode* target) const
{
    if (target == getFirstNode())
        return {nullptr, rootCount()};
    if (target->isCategory())
        return {const_cast<TreeNode*>(target), 0};
    return {target->parent(), target->index()};
}

bool NodeTree::refusesDropOnto(const TreeNode* target) const
{
    if (!target || !m_dropRefusal)
        return false;
    const TreeNode* parent = dropPlace(target).parent;
    return parent && m_dropRefusal(parent);
}

bool NodeTree::refusesDrop(const TreeNode* source, const TreeNode* target,
                           Qt::DropAction action) const
{
    if (action == Qt::MoveAction && m_moveRefusal && m_moveRefusal(source))
        return true;
    return refusesDropOnto(target);
}

QStringList NodeTree::mimeTypes() const
{
    return {nodesFormat()};
}

QMimeData* NodeTree::mimeData(const QModelIndexList& indexes) const
{
    // One node at a time: the first row's.
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.column() == 0)
            return nodeMimeData(nodeOf(index));
    return nullptr;
}

Qt::DropActions NodeTree::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions NodeTree::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

bool NodeTree::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                               const QModelIndex& parent) const
{
    if (action != Qt::MoveAction && action != Qt::CopyAction)
        return false;
    const TreeNode* source = draggedNode(data);
    return source && source->data() && !refusesDrop(source, nodeOf(parent), action);
}

bool NodeTree::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                            const QModelIndex& parent)
{
    TreeNode* source = draggedNode(data);
    TreeNode* target = nodeOf(parent);
    if (!target || !canDropMimeData(data, action, row, column, parent))
        return false;
    const DropPlace place = dropPlace(target);
    if (action == Qt::CopyAction) {
        const DropStep step(m_steps, QStringLiteral("Copy \"%1\"").arg(source->text()));
        NewNode copy{source->text(), std::make_unique<NodeInfo>(), source->imageIndex()};
        copy.info->assign(source->data());
        std::vector<NewNode> made;
        made.push_back(std::move(copy));
        TreeNode* node = insertNodes(place.parent, place.row, std::move(made)).front();
        Q_EMIT nodeDropped(node);
        return true;
    }
    if (target->isUnder(source))
        return false; // never into its own subtree
    const DropStep step(m_steps, QStringLiteral("Move \"%1\"").arg(source->text()));
    moveTo(source, place.parent, place.row);
    if (place.parent)
        expand(place.parent, false);
    Q_EMIT nodeDropped(source);
    return true;
}
