#include "Invariants.h"
#include "Monkey.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"
#include "forms/main/WindowDragDrop.h"
#include "utils/TextUtils.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QTreeView>

namespace
{

QString named(const TreeNode* node)
{
    return QStringLiteral("\"%1\"").arg(TextUtils::excerpt(node->text(), 60));
}

// The tree model against the nodes: every node where its parent holds it,
// its index leading to it and back, the counts right.
QString treeModel(Monkey& m)
{
    const NodeTree& nodes = m.catalogue().nodes();
    int total = 0;
    std::vector<std::pair<const TreeNode*, QModelIndex>> pending;
    for (int i = 0; i < nodes.rootCount(); ++i) {
        const TreeNode* root = nodes.rootItem(i);
        const QModelIndex index = nodes.index(i, 0);
        if (root->parent() || root->index() != i || NodeTree::nodeOf(index) != root ||
            nodes.parent(index).isValid() || nodes.indexOf(root) != index)
            return QStringLiteral("root %1 (%2) is not where the model says")
                .arg(i)
                .arg(named(root));
        pending.emplace_back(root, index);
    }
    if (nodes.rowCount() != nodes.rootCount())
        return QStringLiteral("the model has %1 top rows for %2 roots")
            .arg(nodes.rowCount())
            .arg(nodes.rootCount());
    while (!pending.empty()) {
        const auto [node, index] = pending.back();
        pending.pop_back();
        ++total;
        if (nodes.rowCount(index) != node->count())
            return QStringLiteral("%1 has %2 children, the model %3 rows")
                .arg(named(node))
                .arg(node->count())
                .arg(nodes.rowCount(index));
        for (int i = 0; i < node->count(); ++i) {
            const TreeNode* child = node->item(i);
            const QModelIndex childIndex = nodes.index(i, 0, index);
            if (child->parent() != node || child->index() != i ||
                NodeTree::nodeOf(childIndex) != child || nodes.parent(childIndex) != index ||
                nodes.indexOf(child) != childIndex)
                return QStringLiteral("child %1 of %2 (%3) is not where the model says")
                    .arg(i)
                    .arg(named(node), named(child));
            pending.emplace_back(child, childIndex);
        }
    }
    if (total != nodes.count())
        return QStringLiteral("the tree counts %1 nodes, %2 are in it")
            .arg(nodes.count())
            .arg(total);
    return {};
}

// Each row of the list is a live node: a child of the listed category, the
// listed entry itself, or (while the filter lists what it found) any node.
QString listRows(Monkey& m)
{
    const ListModel& list = m.listModel();
    const auto live = m.liveNodes();
    const TreeNode* listed = m.view().listedNode();
    if (listed && !live.count(listed))
        return QStringLiteral("the listed node is no longer in the tree");
    const TreeNode* source = list.source();
    if (source && !live.count(source))
        return QStringLiteral("the list's source node is no longer in the tree");
    if (list.rowCount() != list.count())
        return QStringLiteral("the list counts %1 rows, its model %2")
            .arg(list.count())
            .arg(list.rowCount());
    const bool children = source && source->isCategory();
    for (int r = 0; r < list.rowCount(); ++r) {
        const TreeNode* node = list.node(r);
        if (!node)
            return QStringLiteral("row %1 refers to no node").arg(r);
        if (!live.count(node))
            return QStringLiteral("row %1 refers to a node no longer in the tree").arg(r);
        if (list.listsNodes())
            continue;
        if (children && node->parent() != source)
            return QStringLiteral("row %1 (%2) is not a child of the listed category %3")
                .arg(r)
                .arg(named(node), named(source));
        if (source && !children && node != source)
            return QStringLiteral("row %1 (%2) is not the entry listed alone (%3)")
                .arg(r)
                .arg(named(node), named(source));
    }
    return {};
}

// What the views hold on to: the current rows lead to live nodes and rows.
QString views(Monkey& m)
{
    const auto live = m.liveNodes();
    QTreeView* tree = m.tree();
    if (tree->model() != &m.catalogue().nodes())
        return QStringLiteral("the tree shows another model");
    const QModelIndex current = tree->currentIndex();
    if (current.isValid()) {
        const TreeNode* node = NodeTree::nodeOf(current);
        if (!live.count(node))
            return QStringLiteral("the tree's current row refers to a node no longer in the tree");
        if (node->index() != current.row())
            return QStringLiteral("the tree's current row %1 is row %2 of its node")
                .arg(current.row())
                .arg(node->index());
    }
    for (QAbstractItemView* list : m.view().listViews()) {
        if (list->model() != &m.listModel())
            return QStringLiteral("%1 shows another model").arg(list->objectName());
        const QModelIndex row = list->currentIndex();
        if (row.isValid() && row.row() >= m.listModel().rowCount())
            return QStringLiteral("%1's current row %2 is past the %3 rows")
                .arg(list->objectName())
                .arg(row.row())
                .arg(m.listModel().rowCount());
        if (const QItemSelectionModel* selection = list->selectionModel())
            for (const QModelIndex& i : selection->selectedIndexes())
                if (!i.isValid() || i.row() >= m.listModel().rowCount())
                    return QStringLiteral("%1 has a selected row past the rows")
                        .arg(list->objectName());
    }
    return {};
}

// The catalogue's own references to nodes, and a drag's source between drags.
QString specialNodes(Monkey& m)
{
    const auto live = m.liveNodes();
    const Catalogue& catalogue = m.catalogue();
    if (catalogue.makerCategory && !live.count(catalogue.makerCategory))
        return QStringLiteral("the built-in category is no longer in the tree");
    if (catalogue.topCategory && !live.count(catalogue.topCategory))
        return QStringLiteral("the main category is no longer in the tree");
    if (const auto* drags = m.window().findChild<WindowDragDrop*>(); drags && drags->dragSource())
        return QStringLiteral("a drag's source is still held after the drag");
    return {};
}

// Nothing is left up between steps: every dialog and menu was answered.
QString nothingOpen(Monkey&)
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return QStringLiteral("a modal %1 is still open")
            .arg(QString::fromLatin1(modal->metaObject()->className()));
    if (QWidget* popup = QApplication::activePopupWidget())
        return QStringLiteral("a pop-up %1 is still open").arg(popup->objectName());
    return {};
}

constexpr Invariant Table[] = {
    {"tree model", treeModel},
    {"list rows", listRows},
    {"views", views},
    {"special nodes", specialNodes},
    {"nothing left open", nothingOpen},
};

} // namespace

std::span<const Invariant> invariants()
{
    return Table;
}
