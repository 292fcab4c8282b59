// Times the instant filter as the user types into it over a large
// catalogue: each keystroke matches the whole catalogue (or, while the text
// only grows, the last result), fills the list and paints the details view.
// A word is typed letter by letter, then partly taken back with Backspace
// (each of which scans everything again), then a second word is typed.
//
//   bench_filter [--entries 200000] [--runs 3]
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFilter.h"
#include "catalogue/FoldedIndex.h"
#include "catalogue/ListModel.h"

#include <QApplication>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "BenchUtil.h"

namespace
{

using BenchUtil::timeMs;
using BenchUtil::WordCount;
using BenchUtil::Words;

using BenchUtil::randomWords;

// Categories of about five hundred entries each, with paths, a comment on
// every third entry and an additional value on every fifth.
void build(NodeTree& nodes, int count)
{
    std::mt19937 rng(7);
    nodes.beginUpdate();
    TreeNode* category = nullptr;
    for (int i = 0; i < count; ++i) {
        auto info = std::make_unique<NodeInfo>();
        TreeNode* n;
        if (i % 500 == 0) {
            n = nodes.addChild(nullptr, randomWords(rng, 5, 20));
            info->kind = nkCategory;
            category = n;
        } else {
            const QString name = randomWords(rng, 8, 40);
            n = nodes.addChild(category, name);
            info->kind = nkDoc;
            info->fullName = QStringLiteral("/home/user/Documents/%1/%2.pdf")
                                 .arg(randomWords(rng, 5, 20, u'-'), name);
            if (i % 3 == 0)
                info->comments = randomWords(rng, 10, 60);
            if (i % 5 == 0)
                info->sAdditional = QString::fromUtf8(Words[i % WordCount]);
        }
        nodes.setNodeData(n, std::move(info));
    }
    nodes.endUpdate();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 200000, runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--entries")
            count = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
    }

    Catalogue catalogue;
    build(catalogue.nodes(), count);
    FoldedIndex index(catalogue.nodes());
    auto filter = std::make_unique<CatalogueFilter>(index);
    ListModel model(catalogue);
    QTreeView view;
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    view.setModel(&model);
    view.resize(800, 600);
    view.show();
    std::printf("catalogue: %d entries\n", catalogue.nodes().count());

    // Twenty keystrokes: "meeting" letter by letter, three taken back and
    // typed again, then " minutes".
    QStringList texts;
    const QString first = QStringLiteral("meeting");
    for (int i = 1; i <= first.size(); ++i)
        texts << first.left(i);
    for (int i = 1; i <= 3; ++i)
        texts << first.left(first.size() - i);
    for (int i = first.size() - 2; i <= first.size(); ++i)
        texts << first.left(i);
    const QString second = QStringLiteral(" minutes");
    for (int i = 2; i <= second.size(); ++i)
        texts << first + second.left(i);

    const double keys = timeMs([&] { filter->match(u"x"); });
    std::printf("first keystroke (makes the keys): %.1f ms, keys %.1f MB\n", keys,
                index.bytes() / 1e6);
    std::printf("%lld keystrokes per run\n", qlonglong(texts.size()));
    std::vector<double> medians;
    for (int r = 0; r < runs; ++r) {
        std::vector<double> ms;
        std::printf("run %d:", r + 1);
        for (const QString& text : texts) {
            size_t found = 0;
            ms.push_back(timeMs([&] {
                std::vector<TreeNode*> rows = filter->match(text);
                found = rows.size();
                model.fillNodes(std::move(rows));
                view.repaint();
            }));
            std::printf(" %s=%zu:%.1f", qPrintable(QString(text).replace(u' ', u'_')), found,
                        ms.back());
        }
        const double median = BenchUtil::median(ms);
        medians.push_back(median);
        std::printf("\n  median %.1f ms, slowest %.1f ms per keystroke\n", median,
                    *std::max_element(ms.begin(), ms.end()));
        // The next run starts from an empty field, with nothing found before.
        filter = std::make_unique<CatalogueFilter>(index);
    }
    std::printf("medians of the runs:");
    for (double m : medians)
        std::printf(" %.1f", m);
    std::printf(" ms\n");
    return 0;
}
