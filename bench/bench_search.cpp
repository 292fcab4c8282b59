// Times a full scan of a large catalogue that finds nothing (locateNode, as
// Find Next and F3 run it, and the scan beneath it), against a plain
// QStringView::indexOf over the same texts laid out in one contiguous buffer,
// and reports what the folded copies the scan keeps cost in memory and in
// the first scan after a change of the tree's shape.
//
//   bench_search [--nodes 1000000] [--runs 3]
#include "catalogue/CatalogueSearch.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <malloc.h>
#include <random>
#include <vector>

#include "BenchUtil.h"

namespace
{

using BenchUtil::timeMs;

using BenchUtil::WordCount;
using BenchUtil::Words;

using BenchUtil::randomWords;

// categories of about a thousand entries each, some with sub-categories.
void build(NodeTree& nodes, int count)
{
    std::mt19937 rng(42);
    nodes.beginUpdate();
    TreeNode* category = nullptr;
    for (int i = 0; i < count; ++i) {
        TreeNode* n;
        auto info = std::make_unique<NodeInfo>();
        if (i % 1000 == 0) {
            n = nodes.addChild(i % 3000 == 0 ? nullptr : category, randomWords(rng, 5, 20));
            info->kind = NodeKind::Category;
            category = n;
        } else {
            const QString name = randomWords(rng, 8, 40);
            n = nodes.addChild(category, name);
            info->kind = NodeKind::Doc;
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

// The texts of one field in tree order, in one buffer.
struct Flat {
    QString buffer;
    std::vector<std::pair<qsizetype, qsizetype>> spans;
};

Flat flatten(const NodeTree& nodes, SearchField Field)
{
    Flat f;
    for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext()) {
        const QStringView t = searchedText(n, Field);
        f.spans.emplace_back(f.buffer.size(), t.size());
        f.buffer += t;
    }
    return f;
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

struct Row {
    const char* what;
    std::vector<double> ms;
};

void print(const Row& R)
{
    std::printf("  %-52s", R.what);
    for (double m : R.ms)
        std::printf(" %8.1f", m);
    std::printf("   median %8.1f ms\n", BenchUtil::median(R.ms));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int count = 1000000, runs = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--nodes")
            count = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
    }

    NodeTree nodes;
    const size_t before = heapInUse();
    build(nodes, count);
    const size_t treeBytes = heapInUse() - before;
    CatalogueSearch search(nodes);
    std::printf("catalogue: %d nodes, %.1f MB on the heap\n", nodes.count(), treeBytes / 1e6);
    struct Case {
        const char* needle;
        SearchField field;
    };
    const Case cases[] = {{"quarterly", SearchField::name},
                          {"entwurf", SearchField::name},
                          {"Entwürfe", SearchField::name},
                          {"quarterly", SearchField::comments},
                          {"/home/user/Music", SearchField::fullName}};
    for (const Case& c : cases) {
        const QString needle = QString::fromUtf8(c.needle);
        const char* fieldName[] = {"name", "comment", "location", "additional"};
        const Flat flat = flatten(nodes, c.field);
        std::printf("\n\"%s\" in the %s (%.1f M characters), ms per full scan:\n", c.needle,
                    fieldName[int(c.field)], flat.buffer.size() / 1e6);

        Row plain{"plain indexOf, one buffer, text by text", {}};
        Row plainWhole{"plain indexOf, one buffer, one call", {}};
        Row plainCi{"indexOf ignoring case, one buffer, text by text", {}};
        Row scanCi{"tree scan ignoring case", {}};
        Row scanCs{"tree scan, match case", {}};
        Row locate{"locateNode ignoring case (quiet, from 0)", {}};
        Row walk{"tree walk alone, reading the text's length", {}};
        Row naive{"tree scan upper-casing each text (one run)", {}};
        int hits = 0;
        {
            // The first scan of a field makes its folded copy; later cases reuse it.
            const size_t bytes = search.index().bytes();
            const double first = timeMs(
                [&] { hits += search.scan(needle, Qt::CaseInsensitive, c.field, 0).found(); });
            std::printf(
                "  first scan (makes the field's copy if it has none): %.1f ms, %.1f MB more\n",
                first, (search.index().bytes() - bytes) / 1e6);
        }
        for (int r = 0; r < runs; ++r) {
            plain.ms.push_back(timeMs([&] {
                const QStringView all(flat.buffer);
                for (const auto& [at, len] : flat.spans)
                    if (all.mid(at, len).indexOf(needle) >= 0)
                        ++hits;
            }));
            plainWhole.ms.push_back(
                timeMs([&] { hits += QStringView(flat.buffer).indexOf(needle) >= 0; }));
            plainCi.ms.push_back(timeMs([&] {
                const QStringView all(flat.buffer);
                for (const auto& [at, len] : flat.spans)
                    if (all.mid(at, len).indexOf(needle, 0, Qt::CaseInsensitive) >= 0)
                        ++hits;
            }));
            scanCi.ms.push_back(timeMs(
                [&] { hits += search.scan(needle, Qt::CaseInsensitive, c.field, 0).found(); }));
            walk.ms.push_back(timeMs([&] {
                qsizetype total = 0;
                for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
                    total += searchedText(n, c.field).size();
                hits += total < 0;
            }));
            locate.ms.push_back(
                timeMs([&] { hits += search.locateNode(needle, c.field, 0, true).found(); }));
            scanCs.ms.push_back(timeMs(
                [&] { hits += search.scan(needle, Qt::CaseSensitive, c.field, 0).found(); }));
        }
        naive.ms.push_back(timeMs([&] {
            const QString upper = needle.toUpper();
            for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
                if (searchedText(n, c.field).toString().toUpper().contains(upper))
                    ++hits;
        }));
        for (const Row* r :
             {&plain, &plainWhole, &plainCi, &walk, &scanCi, &locate, &scanCs, &naive})
            print(*r);
        std::printf("  locateNode / plain indexOf text by text: %.2f, / one call: %.2f\n",
                    BenchUtil::median(locate.ms) / BenchUtil::median(plain.ms),
                    BenchUtil::median(locate.ms) / BenchUtil::median(plainWhole.ms));
        if (hits)
            std::printf("  (unexpected: %d hits)\n", hits);
    }

    std::printf("\nfolded copies and full order kept: %.1f MB\n", search.index().bytes() / 1e6);
    // A rename is patched into the copy; the next scan pays for it.
    TreeNode* last = nodes.nodeAtAbsoluteIndex(nodes.count() - 1);
    nodes.setText(last, last->text() + QStringLiteral(" renamed"));
    const double patched = timeMs([&] {
        search.scan(QStringLiteral("quarterly"), Qt::CaseInsensitive, SearchField::name, 0);
    });
    std::printf("scan after one rename (patched in): %.1f ms\n", patched);
    // A change of shape makes order and copies again.
    nodes.addChild(nullptr, QStringLiteral("one more"));
    const double remade = timeMs([&] {
        search.scan(QStringLiteral("quarterly"), Qt::CaseInsensitive, SearchField::name, 0);
    });
    std::printf("scan after a node was added (order and copy made again): %.1f ms\n", remade);
    return 0;
}
