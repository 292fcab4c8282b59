// times what one drop inside the window costs in a large catalogue: moving a
// node to the front of a big category (its first child) and back, putting a
// copy there, and the scan for other links after a real file was moved
// (every node visited, none re-pointed).
//
//   bench_dragdrop [--nodes 1000000] [--big 100000] [--runs 3]
#include "catalogue/LinkUpdates.h"
#include "catalogue/NodeTree.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <vector>

#include "BenchUtil.h"

namespace
{

using BenchUtil::timeMs;

TreeNode* add(NodeTree& nodes, TreeNode* parent, const QString& text, NodeKind kind,
              const QString& path = {})
{
    TreeNode* n = nodes.addChild(parent, text);
    auto info = std::make_unique<NodeInfo>();
    info->kind = kind;
    info->fullName = path;
    nodes.setNodeData(n, std::move(info));
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const char* name, int fallback) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
    };
    const int total = option("--nodes", 1000000), big = option("--big", 100000),
              runs = option("--runs", 3);
    constexpr int Drops = 100;

    NodeTree nodes;
    nodes.beginUpdate();
    TreeNode* huge = add(nodes, nullptr, QStringLiteral("Huge"), NodeKind::Category);
    for (int i = 0; i < big; ++i)
        add(nodes, huge, QStringLiteral("doc %1").arg(i), NodeKind::Doc,
            QStringLiteral("/home/user/huge/doc%1.txt").arg(i));
    TreeNode* category = nullptr;
    for (int i = big; i < total; ++i) {
        if (i % 1000 == 0)
            category = add(nodes, nullptr, QStringLiteral("cat %1").arg(i), NodeKind::Category);
        add(nodes, category, QStringLiteral("doc %1").arg(i), NodeKind::Doc,
            QStringLiteral("/home/user/c%1/doc%2.txt").arg(i / 1000).arg(i));
    }
    nodes.endUpdate();
    TreeNode* other = nodes.rootItem(nodes.rootCount() - 1);
    TreeNode* dragged = other->item(0);

    std::vector<double> move, copy, scan;
    for (int r = 0; r < runs; ++r) {
        move.push_back(timeMs([&] {
                           for (int i = 0; i < Drops; ++i) {
                               nodes.moveTo(dragged, huge, 0);
                               nodes.moveTo(dragged, other, 0);
                           }
                       }) /
                       (2 * Drops));
        std::vector<TreeNode*> made;
        copy.push_back(timeMs([&] {
                           for (int i = 0; i < Drops; ++i) {
                               TreeNode* c = nodes.insertNode(huge->item(0), dragged->text());
                               auto info = std::make_unique<NodeInfo>();
                               info->assign(dragged->data());
                               nodes.setNodeData(c, std::move(info));
                               made.push_back(c);
                           }
                       }) /
                       Drops);
        for (TreeNode* c : made)
            nodes.deleteNode(c);
        scan.push_back(timeMs([&] {
            updateLinksTo(nodes, QStringLiteral("/nowhere/moved.txt"),
                          QStringLiteral("/nowhere/new.txt"));
        }));
    }
    std::printf("nodes %d, big category %d\n", nodes.count(), big);
    std::printf("move to a big category's front: %.3f ms per drop (median of %d runs)\n",
                BenchUtil::median(move), runs);
    std::printf("copy to a big category's front: %.3f ms per drop\n", BenchUtil::median(copy));
    std::printf("links scan after a file moved:  %.1f ms\n", BenchUtil::median(scan));
    return 0;
}
