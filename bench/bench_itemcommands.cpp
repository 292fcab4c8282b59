// Times the two item commands that touch many nodes at once:
//   links   - re-pointing the links into a moved folder over a big catalogue,
//             against one full scan of the locations (a search that finds
//             nothing), cold (its folded copy made first) and warm;
//   remove  - "Remove from program" on a category of many entries, expanded
//             in the tree of the real window and listed beside it, against
//             freeing the same nodes as the end of the run does (no views);
//   delete  - "Delete from hard disk" of a folder entry whose folder holds
//             every file of a category of many entries, with the filter
//             listing them all and with the category listed, against the
//             same links removed from a tree without views;
//   gaps    - "Delete from hard disk" of a folder entry whose folder holds the
//             files of every other entry of a catalogue of each size (in
//             categories of --per entries, expanded in the tree unless
//             --expanded 0, the entry's category listed), started from the
//             event loop while a 1 ms timer records the longest gap between
//             its ticks: how long
//             the window stopped answering (target: 50 ms); beside it the
//             longest gap of the same timer over as long with nothing to do,
//             the machine's own noise.
//
//   bench_itemcommands [--nodes 200000] [--links 1000] [--entries 100000] [--runs 3]
//                      [--sizes 100000,200000,1000000] [--per 1000] [--expanded 1]
//                      [--part links|remove|delete|gaps]  (one part alone, to profile it)
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueSearch.h"
#include "catalogue/LinkUpdates.h"
#include "catalogue/ListModel.h"
#include "components/FileOperationDialogs.h"
#include "components/MessageDialogs.h"
#include "forms/MainWindow.h"
#include "forms/main/CategoryView.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
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

// Categories of a thousand documents; every (count / links)-th document lies
// inside /data/old, the others in folders of their own.
void buildLinks(NodeTree& nodes, int count, int links)
{
    const int every = std::max(1, count / std::max(1, links));
    nodes.beginUpdate();
    TreeNode* category = nullptr;
    int inside = 0;
    for (int i = 0; i < count; ++i) {
        if (i % 1000 == 0) {
            category = nodes.addChild(nullptr, QStringLiteral("Category %1").arg(i));
            setInfo(nodes, category, NodeKind::Category, {});
            continue;
        }
        const QString name = QStringLiteral("%1 %2.pdf").arg(BenchUtil::Words[i % 50]).arg(i);
        TreeNode* n = nodes.addChild(category, name);
        const bool link = inside < links && i % every == 1;
        inside += link;
        setInfo(nodes, n, NodeKind::Doc,
                link ? QStringLiteral("/data/old/sub/") + name
                     : QStringLiteral("/data/older/%1/").arg(i % 97) + name);
    }
    nodes.endUpdate();
}

// A category of Count hyperlinks (listing checks no disk for them).
TreeNode* buildCategory(NodeTree& nodes, TreeNode* parent, int count)
{
    nodes.beginUpdate();
    TreeNode* big = nodes.addChild(parent, QStringLiteral("Big"));
    setInfo(nodes, big, NodeKind::Category, {});
    for (int i = 0; i < count; ++i) {
        TreeNode* n = nodes.addChild(big, QStringLiteral("Entry %1").arg(i));
        setInfo(nodes, n, NodeKind::Url, QStringLiteral("https://example.org/page/%1").arg(i));
        nodes.setImage(n, 2);
    }
    nodes.endUpdate();
    return big;
}

// A category "Files" of a folder entry for Folder and Count documents inside
// that folder (not on disk: they are listed with the missing-target image).
TreeNode* buildFolderLinks(NodeTree& nodes, const QString& folder, int count)
{
    nodes.beginUpdate();
    TreeNode* files = nodes.addChild(nullptr, QStringLiteral("Files"));
    setInfo(nodes, files, NodeKind::Category, {});
    TreeNode* entry = nodes.addChild(files, QStringLiteral("Linked"));
    setInfo(nodes, entry, NodeKind::Folder, folder);
    for (int i = 0; i < count; ++i) {
        TreeNode* n = nodes.addChild(files, QStringLiteral("f%1.txt").arg(i));
        setInfo(nodes, n, NodeKind::Doc, folder + QStringLiteral("/f%1.txt").arg(i));
        nodes.setImage(n, 1);
    }
    nodes.endUpdate();
    return entry;
}

// The window both deletions run in, its data in a scratch folder that holds
// the linked folder.
struct DeleteScene {
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("linked"));
    MainWindow window;

    DeleteScene()
    {
        QDir().mkpath(folder);
        window.catalogue().setDataFolder(dir.path());
        window.resize(800, 600);
        window.show();
        FileOperations::installDialogs(&window);
    }
};

// "Delete from hard disk" of the folder entry, chosen in the list, with the
// filter listing the entry and every link (or, without Filter, their
// category listed); Yes to every question. The time of the command, in ms.
double deleteLinkedFolder(int count, bool filter, int* listed)
{
    DeleteScene scene;
    const QString& folder = scene.folder;
    MainWindow& window = scene.window;
    NodeTree& nodes = window.catalogue().nodes();
    TreeNode* entry = buildFolderLinks(nodes, folder, count);
    auto* tree = window.findChild<QTreeView*>("DocsTree");
    tree->expandAll();
    // The last link current in the tree: each removal moves the tree's current
    // row to the link before, the next to go. This lists the category.
    tree->setCurrentIndex(nodes.indexOf(entry->parent()->getLastChild()));
    CategoryView* view = window.findChild<CategoryView*>();
    ListModel& model = view->listModel();
    if (filter)
        window.findChild<QLineEdit*>("FilterEdit")->setText(QStringLiteral("linked"));
    QCoreApplication::processEvents();
    *listed = model.count();
    QAbstractItemView* list = view->listViews().constLast();
    list->setFocus();
    list->setCurrentIndex(model.index(model.rowOf(entry), 0));
    MessageDialogs::setHandler([](QMessageBox::Icon, const QString&) { return QMessageBox::Yes; });
    const double ms = timeMs([&] {
        window.findChild<QAction*>("acDeleteFromDisk")->trigger();
        QCoreApplication::processEvents(); // the repaint
    });
    MessageDialogs::setHandler({});
    if (nodes.count() != 2) { // the window's first category and Files
        std::printf("  unexpected: %d nodes left:", nodes.count());
        for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
            std::printf(" \"%s\"", qPrintable(n->text()));
        std::printf("\n");
    }
    return ms;
}

// Count entries in categories of Per; every other entry links a file in
// Folder, the others files beside it. The folder's own entry leads the first
// category and is returned.
TreeNode* buildScattered(NodeTree& nodes, const QString& folder, int count, int per)
{
    nodes.beginUpdate();
    TreeNode* entry = nullptr;
    TreeNode* category = nullptr;
    for (int i = 0; i < count; ++i) {
        if (i % per == 0) {
            category = nodes.addChild(nullptr, QStringLiteral("Category %1").arg(i / per));
            setInfo(nodes, category, NodeKind::Category, {});
        }
        if (!entry) {
            entry = nodes.addChild(category, QStringLiteral("Linked"));
            setInfo(nodes, entry, NodeKind::Folder, folder);
            continue;
        }
        const QString name = QStringLiteral("%1 %2.pdf").arg(BenchUtil::Words[i % 50]).arg(i);
        TreeNode* n = nodes.addChild(category, name);
        setInfo(nodes, n, NodeKind::Doc,
                (i % 2 ? folder : folder + QStringLiteral("-kept")) + u'/' + name);
        nodes.setImage(n, 1);
    }
    nodes.endUpdate();
    return entry;
}

// How long the gaps are recorded after the links are through.
constexpr int AfterMs = 200;

struct GapRun {
    double total = 0, gap = 0, idle = 0;
    int removed = 0;
};

// The longest gap of the same timer with nothing else to do, over as long:
// the machine's own noise (other programs on its cores).
double idleGap(int ms)
{
    BenchUtil::GapRecorder gaps;
    gaps.start();
    QTimer::singleShot(ms, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    return gaps.stop();
}

// "Delete from hard disk" of the folder entry of buildScattered's catalogue,
// chosen in the list and started from the event loop, with the gap recorder
// running until the links are gone and the window painted.
GapRun deleteScattered(int count, int per, bool expanded)
{
    DeleteScene scene;
    const QString& folder = scene.folder;
    MainWindow& window = scene.window;
    NodeTree& nodes = window.catalogue().nodes();
    TreeNode* entry = buildScattered(nodes, folder, count, per);
    auto* tree = window.findChild<QTreeView*>("DocsTree");
    if (expanded)
        tree->expandAll();
    tree->setCurrentIndex(nodes.indexOf(entry->parent()));
    CategoryView* view = window.findChild<CategoryView*>();
    ListModel& model = view->listModel();
    window.catalogue().search().index().prepare(); // warm, as after the window's idle time
    QCoreApplication::processEvents();
    QAbstractItemView* list = view->listViews().constLast();
    list->setFocus();
    list->setCurrentIndex(model.index(model.rowOf(entry), 0));
    const int before = nodes.count();
    MessageDialogs::setHandler([](QMessageBox::Icon, const QString&) { return QMessageBox::Yes; });
    GapRun run;
    BenchUtil::GapRecorder gaps;
    QElapsedTimer clock;
    Catalogue& catalogue = window.catalogue();
    // Done once the links are through; the gaps are recorded a while longer,
    // so that the window's relayout and repaint after the change count too.
    const auto done = [&] {
        run.total = double(clock.nsecsElapsed()) / 1e6;
        QTimer::singleShot(AfterMs, &window, [] { QCoreApplication::exit(0); });
    };
    QObject::connect(&catalogue, &Catalogue::linkUpdateRunning, &window, [&](bool running) {
        if (!running)
            done();
    });
    QTimer::singleShot(0, &window, [&] {
        clock.start();
        gaps.start();
        window.findChild<QAction*>("acDeleteFromDisk")->trigger();
        if (!catalogue.linksUpdating())
            done();
    });
    QCoreApplication::exec();
    run.gap = gaps.stop();
    run.idle = idleGap(int(run.total) + AfterMs);
    MessageDialogs::setHandler({});
    run.removed = before - nodes.count();
    return run;
}

void print(const char* what, const std::vector<double>& ms)
{
    std::printf("  %-58s", what);
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
    int count = 200000, links = 1000, entries = 100000, runs = 3, per = 1000;
    bool expanded = true;
    std::vector<int> sizes{100000, 200000, 1000000};
    QString part;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--nodes")
            count = args[i + 1].toInt();
        else if (args[i] == u"--links")
            links = args[i + 1].toInt();
        else if (args[i] == u"--entries")
            entries = args[i + 1].toInt();
        else if (args[i] == u"--runs")
            runs = args[i + 1].toInt();
        else if (args[i] == u"--part")
            part = args[i + 1];
        else if (args[i] == u"--expanded")
            expanded = args[i + 1].toInt() != 0;
        else if (args[i] == u"--per")
            per = std::max(2, args[i + 1].toInt());
        else if (args[i] == u"--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(u','))
                sizes.push_back(s.toInt());
        }
    }
    const auto wanted = [&](const char* name) { return part.isEmpty() || part == name; };

    if (wanted("links")) {
        NodeTree nodes;
        buildLinks(nodes, count, links);
        CatalogueSearch search(nodes);
        std::vector<double> cold, warm, moved;
        for (int r = 0; r < runs; ++r) {
            {
                CatalogueSearch fresh(nodes);
                cold.push_back(timeMs(
                    [&] { fresh.locateNode(u"/nowhere/", SearchField::fullName, 0, true); }));
            }
            search.locateNode(u"/nowhere/", SearchField::fullName, 0, true);
            warm.push_back(
                timeMs([&] { search.locateNode(u"/nowhere/", SearchField::fullName, 0, true); }));
            int changed = 0;
            // There and back, so every run finds the same links.
            const bool back = r % 2;
            moved.push_back(timeMs([&] {
                changed = updateLinksTo(search, nodes, back ? "/data/new" : "/data/old",
                                        QString(back ? "/data/old" : "/data/new"));
            }));
            if (changed != links)
                std::printf("  unexpected: %d links changed\n", changed);
        }
        std::printf("%d nodes, %d links inside the moved folder:\n", nodes.count(), links);
        print("one full scan of locations, cold (copy made first)", cold);
        print("one full scan of locations, warm", warm);
        print("re-pointing the links (one question, not timed)", moved);
        std::printf("  ratio to the warm scan: %.2f\n", median(moved) / median(warm));
    }

    std::vector<double> removal, freeing;
    for (int r = 0; r < runs && wanted("remove"); ++r) {
        QTemporaryDir dir;
        MainWindow window;
        window.catalogue().setDataFolder(dir.path());
        window.resize(800, 600);
        window.show();
        NodeTree& nodes = window.catalogue().nodes();
        TreeNode* big = buildCategory(nodes, nodes.getFirstNode(), entries);
        auto* tree = window.findChild<QTreeView*>("DocsTree");
        tree->expandAll();
        tree->setFocus();
        tree->setCurrentIndex(nodes.indexOf(big)); // lists the entries
        QCoreApplication::processEvents();
        const int listed = window.findChild<CategoryView*>()->listModel().count();
        MessageDialogs::setNextAnswer(QMessageBox::Yes);
        removal.push_back(timeMs([&] {
            window.findChild<QAction*>("acRemoveItem")->trigger();
            QCoreApplication::processEvents(); // the tree's repaint
        }));
        if (listed != entries || nodes.count() != 1)
            std::printf("  unexpected: %d listed, %d nodes left\n", listed, nodes.count());

        auto alone = std::make_unique<NodeTree>();
        buildCategory(*alone, nullptr, entries);
        freeing.push_back(timeMs([&] { alone.reset(); }));
    }
    if (wanted("remove")) {
        std::printf("\na category of %d entries:\n", entries);
        print("Remove from program (expanded, listed, window shown)", removal);
        print("freeing the same nodes as at the end of the run", freeing);
        std::printf("  ratio: %.2f\n", median(removal) / median(freeing));
    }
    if (wanted("gaps")) {
        std::printf("\nDelete from hard disk of a folder linked by every other entry (categories "
                    "of %d, %s, listed):\n",
                    per, expanded ? "expanded" : "collapsed but the listed one");
        for (const int n : sizes) {
            std::vector<double> total, gap;
            int removed = 0;
            for (int r = 0; r < runs; ++r) {
                const GapRun run = deleteScattered(n, per, expanded);
                total.push_back(run.total);
                gap.push_back(run.gap);
                removed = run.removed;
                std::printf("  %8d entries, run %d: %8.1f ms, longest event-loop gap %7.1f ms "
                            "(idle %5.1f ms)\n",
                            n, r + 1, run.total, run.gap, run.idle);
                std::fflush(stdout);
            }
            std::printf("  %8d entries (%d links removed): median %8.1f ms, longest gap median "
                        "%7.1f ms (target < 50)\n",
                        n, removed, median(total), median(gap));
        }
    }
    if (!wanted("delete"))
        return 0;

    std::vector<double> filtered, plain, bare;
    int listedFound = 0, listedPlain = 0;
    for (int r = 0; r < runs; ++r) {
        filtered.push_back(deleteLinkedFolder(entries, true, &listedFound));
        plain.push_back(deleteLinkedFolder(entries, false, &listedPlain));
        NodeTree alone;
        buildFolderLinks(alone, QStringLiteral("/data/linked"), entries);
        bare.push_back(timeMs([&] { updateLinksTo(alone, QStringLiteral("/data/linked"), {}); }));
    }
    std::printf("\na folder holding the files of %d links, deleted from disk:\n", entries);
    std::printf("  (%d rows found by the filter, %d rows listed without it)\n", listedFound,
                listedPlain);
    print("with the filter listing them (window shown)", filtered);
    print("with the category listed (window shown)", plain);
    print("the same links removed from a tree without views", bare);
    std::printf("  ratio filter / bare: %.2f, listed / bare: %.2f\n",
                median(filtered) / median(bare), median(plain) / median(bare));
    return 0;
}
