// Times the import of a browser's bookmark file into a catalogue that the
// tree view shows (reading, parsing and filing; the view is told of every
// new node), and the export of the result, against reading the same bytes
// and finding every tag in them, the least any import must do.
//
// The file is what a browser exports for 50,000 bookmarks: folders of about
// a hundred links, two levels deep, every fourth link with its icon as a
// data: URL, every tenth with a description, entities in titles.
//
//   bench_bookmarks [--bookmarks 50000] [--entries 100000] [--runs 3]
#include "catalogue/BookmarkExport.h"
#include "catalogue/BookmarkImport.h"
#include "catalogue/Catalogue.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "BenchUtil.h"

namespace
{

using BenchUtil::randomWords;
using BenchUtil::timeMs;

constexpr int LinksPerFolder = 100;
constexpr int FoldersPerGroup = 20;

QByteArray makeFile(int bookmarks)
{
    std::mt19937 rng(11);
    const QByteArray icon = "data:image/png;base64," + QByteArray(600, 'A');
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                     "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n\n<DL><p>\n";
    int made = 0;
    for (int group = 0; made < bookmarks; ++group) {
        out += "    <DT><H3 ADD_DATE=\"1698765432\" LAST_MODIFIED=\"1698765432\">" +
               randomWords(rng, 5, 20).toUtf8() + "</H3>\n    <DL><p>\n";
        for (int f = 0; f < FoldersPerGroup && made < bookmarks; ++f) {
            out += "        <DT><H3 ADD_DATE=\"1698765432\">" + randomWords(rng, 5, 20).toUtf8() +
                   "</H3>\n        <DL><p>\n";
            for (int i = 0; i < LinksPerFolder && made < bookmarks; ++i, ++made) {
                out += "            <DT><A HREF=\"https://www." +
                       randomWords(rng, 5, 15, u'-').toUtf8() + ".example/" +
                       randomWords(rng, 5, 30, u'/').toUtf8() + "?id=" + QByteArray::number(made) +
                       "&amp;ref=menu\" ADD_DATE=\"1698765432\" LAST_MODIFIED=\"1698765432\"";
                if (made % 4 == 0)
                    out += " ICON_URI=\"https://www.example/favicon.ico\" ICON=\"" + icon + '"';
                out += '>' + randomWords(rng, 10, 50).toUtf8() + " &amp; more</A>\n";
                if (made % 10 == 0)
                    out += "            <DD>" + randomWords(rng, 20, 80).toUtf8() + '\n';
            }
            out += "        </DL><p>\n";
        }
        out += "    </DL><p>\n";
    }
    out += "</DL>\n";
    return out;
}

// The catalogue the file is imported into.
void buildCatalogue(Catalogue& cat, int entries)
{
    std::mt19937 rng(7);
    NodeTree& nodes = cat.nodes();
    nodes.beginUpdate();
    TreeNode* category = nullptr;
    for (int i = 0; i < entries; ++i) {
        if (i % 500 == 0) {
            category = cat.addCategoryNode(nullptr, randomWords(rng, 5, 20));
            continue;
        }
        TreeNode* n = nodes.addChild(category, randomWords(rng, 8, 40));
        cat.fillUrlNode(n, n->text(), "https://example.org/" + QString::number(i), {}, {});
    }
    nodes.endUpdate();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int bookmarks = 50000, entries = 100000, runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray flag = argv[i];
        const int value = atoi(argv[i + 1]);
        if (flag == "--bookmarks")
            bookmarks = value;
        else if (flag == "--entries")
            entries = value;
        else if (flag == "--runs")
            runs = value;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("bookmarks.html");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(makeFile(bookmarks)) < 0)
            return 1;
    }
    std::printf("%d bookmarks, %.1f MB, into a catalogue of %d entries shown in a tree view\n",
                bookmarks, double(QFile(path).size()) / (1 << 20), entries);

    for (int run = 0; run < runs; ++run) {
        // The floor: the bytes read and every tag found.
        qsizetype tags = 0;
        const double floor = timeMs([&] {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                return;
            const QByteArray bytes = f.readAll();
            for (const char *p = bytes.constData(), *end = p + bytes.size();
                 (p = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)))); ++p)
                ++tags;
        });

        Catalogue cat;
        cat.createMakerCategory();
        buildCatalogue(cat, entries);
        QTreeView view;
        view.setModel(&cat.nodes());
        view.resize(400, 600);
        view.show();
        QApplication::processEvents();

        BookmarkList list;
        const double read = timeMs([&] { list = readBookmarkFile(path); });
        TreeNode* top = nullptr;
        const double filed = timeMs([&] { top = fileBookmarks(cat, list, list.title); });
        view.expand(cat.nodes().indexOf(top));
        const double painted = timeMs([&] { QApplication::processEvents(); });
        QByteArray html;
        const double exported =
            timeMs([&] { html = bookmarkHtml(cat.nodes(), top, nullptr, top->text()); });
        const double total = read + filed + painted;
        std::printf("run %d: import %.0f ms (read and parse %.0f, filing %.0f, painting %.0f), "
                    "%.1fx the floor of %.0f ms (%lld tags); %d links, %d folders; export %.0f ms "
                    "(%.1f MB)\n",
                    run + 1, total, read, filed, painted, total / floor, floor, qlonglong(tags),
                    list.linkCount(), list.folderCount(), exported,
                    double(html.size()) / (1 << 20));
    }
    return 0;
}
