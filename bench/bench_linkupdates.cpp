// Times the removal of links to a folder that went, scattered among the
// links of one category (every other one goes), against the removal of the
// same number of links that lie together, with the folded index warm (as
// in the window). Both should grow linearly with the size of the category.
//
//   bench_linkupdates [--sizes 10000,100000] [--reps 3]
#include "catalogue/CatalogueSearch.h"
#include "catalogue/LinkUpdates.h"

#include <QCoreApplication>

#include <cstdio>
#include <vector>

#include "BenchUtil.h"

using BenchUtil::median;
using BenchUtil::timeMs;

namespace
{

// One category of N documents; those that go lie every other one, or
// together in the first half.
void fill(NodeTree& nodes, int n, bool scattered)
{
    nodes.clear();
    TreeNode* category = nodes.addChild(nullptr, QStringLiteral("Work"));
    auto info = std::make_unique<NodeInfo>();
    info->kind = NodeKind::Category;
    nodes.setNodeData(category, std::move(info));
    nodes.beginUpdate();
    for (int i = 0; i < n; ++i) {
        const bool goes = scattered ? i % 2 == 0 : i < n / 2;
        NewNode made;
        made.text = QString::number(i);
        made.info = std::make_unique<NodeInfo>();
        made.info->kind = NodeKind::Doc;
        made.info->fullName =
            QStringLiteral("/home/ann/%1/file%2.txt").arg(goes ? "gone" : "kept").arg(i);
        nodes.appendNode(category, std::move(made));
    }
    nodes.endUpdate();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<int> sizes{10000, 100000};
    int reps = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(u','))
                sizes.push_back(s.toInt());
        } else if (args[i] == u"--reps") {
            reps = std::max(1, args[i + 1].toInt());
        }
    }
    std::printf("links to a removed folder, half of one category, median of %d runs\n", reps);
    for (const int n : sizes) {
        std::vector<double> times[2];
        for (int r = 0; r < reps; ++r)
            for (const bool scattered : {false, true}) {
                NodeTree nodes;
                CatalogueSearch search(nodes);
                fill(nodes, n, scattered);
                search.index().prepare(); // warm, as after the window's idle time
                int removed = 0;
                times[scattered].push_back(timeMs([&] {
                    removed = updateLinksTo(search, nodes, QStringLiteral("/home/ann/gone"),
                                            std::nullopt);
                    search.index().prepare(); // the index mended for the next search
                }));
                if (removed != n / 2 || nodes.count() != 1 + n - n / 2) {
                    std::fprintf(stderr, "removed %d of %d\n", removed, n / 2);
                    return 1;
                }
            }
        const double together = median(times[0]), scattered = median(times[1]);
        std::printf("%8d entries: scattered %9.1f ms   together %9.1f ms   ratio %.2f\n", n,
                    scattered, together, scattered / together);
    }
    return 0;
}
