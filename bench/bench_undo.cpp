// Times taking back "Remove from program" of a category of many entries in
// the real window (the category expanded in the tree, its parent listed):
// the removal, its undo (the kept subtree put back) and its redo, each with
// the repaint, against the removal itself.
//
//   bench_undo [--entries 100000] [--runs 3]
#include "catalogue/ListModel.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>

#include "BenchUtil.h"

namespace
{

using BenchUtil::median;
using BenchUtil::timeMs;

void setInfo(NodeTree& nodes, TreeNode* n, NodeKind kind, const QString& path)
{
    auto info = std::make_unique<NodeInfo>();
    info->kind = kind;
    info->fullName = path;
    nodes.setNodeData(n, std::move(info));
}

// "Big" of Count hyperlinks under the window's first category.
TreeNode* buildCategory(NodeTree& nodes, int count)
{
    nodes.beginUpdate();
    TreeNode* big = nodes.addChild(nodes.getFirstNode(), QStringLiteral("Big"));
    setInfo(nodes, big, NodeKind::Category, {});
    for (int i = 0; i < count; ++i) {
        TreeNode* n = nodes.addChild(big, QStringLiteral("Entry %1").arg(i));
        setInfo(nodes, n, NodeKind::Url, QStringLiteral("https://example.org/page/%1").arg(i));
        nodes.setImage(n, 2);
    }
    nodes.endUpdate();
    return big;
}

void print(const char* what, const std::vector<double>& ms)
{
    std::printf("  %-40s", what);
    for (double m : ms)
        std::printf(" %8.1f", m);
    std::printf("   median %8.1f ms\n", median(ms));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int entries = 100000, runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--entries")
            entries = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
    }
    MessageDialogs::setHandler([](QMessageBox::Icon, const QString&) { return QMessageBox::Yes; });
    QTemporaryDir dir;
    std::vector<double> removed, undone, redone, freed;
    for (int r = 0; r < runs; ++r) {
        MainWindow window;
        window.catalogue().setDataFolder(dir.path());
        window.resize(800, 600);
        window.show();
        NodeTree& nodes = window.catalogue().nodes();
        nodes.addChild(nullptr, QStringLiteral("Work"));
        TreeNode* big = buildCategory(nodes, entries);
        auto* tree = window.findChild<QTreeView*>("DocsTree");
        tree->expandAll();
        tree->setFocus();
        tree->setCurrentIndex(nodes.indexOf(big));
        QCoreApplication::processEvents();
        const int before = nodes.count();
        removed.push_back(timeMs([&] {
            window.findChild<QAction*>("acRemoveItem")->trigger();
            QCoreApplication::processEvents();
        }));
        undone.push_back(timeMs([&] {
            window.findChild<QAction*>("acUndo")->trigger();
            QCoreApplication::processEvents();
        }));
        if (nodes.count() != before)
            std::printf("  unexpected: %d nodes after the undo, %d before\n", nodes.count(),
                        before);
        redone.push_back(timeMs([&] {
            window.findChild<QAction*>("acRedo")->trigger();
            QCoreApplication::processEvents();
        }));
        // The floor: the same nodes freed in a tree without views.
        NodeTree bare;
        bare.addChild(nullptr, QStringLiteral("Work"));
        TreeNode* again = buildCategory(bare, entries);
        freed.push_back(timeMs([&] { bare.deleteNode(again); }));
    }
    std::printf("A category of %d entries, expanded and listed:\n", entries);
    print("Remove from program", removed);
    print("Undo", undone);
    print("Redo", redone);
    print("the same nodes freed without views", freed);
    std::printf("  ratio undo / remove: %.2f, redo / remove: %.2f, remove / freed: %.2f\n",
                median(undone) / median(removed), median(redone) / median(removed),
                median(removed) / median(freed));
    return 0;
}
