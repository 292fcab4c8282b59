// Keeping links in step after a real file or folder was deleted or moved:
// which locations count as links to a path, how they are re-pointed, and
// the walk that removes or re-points them after one question.
#include "catalogue/CatalogueSearch.h"
#include "catalogue/LinkUpdates.h"

#include <QtTest>

namespace
{

TreeNode* add(NodeTree& nodes, TreeNode* parent, const QString& name, NodeKind kind,
              const QString& path = {})
{
    TreeNode* n = nodes.addChild(parent, name);
    auto info = std::make_unique<NodeInfo>();
    info->kind = kind;
    info->fullName = path;
    nodes.setNodeData(n, std::move(info));
    return n;
}

// name and location of every node in full order.
QStringList dump(const NodeTree& nodes)
{
    QStringList out;
    for (const TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
        out << n->text() + u'=' + n->data()->fullName;
    return out;
}

} // namespace

class TestLinkUpdates : public QObject
{
    Q_OBJECT

    NodeTree nodes;

    // A folder /home/ann/doc, links to it and into it, and neighbours whose
    // locations merely begin with the same letters or contain the path.
    void fill()
    {
        nodes.clear();
        TreeNode* work = add(nodes, nullptr, "Work", NodeKind::Category);
        add(nodes, work, "folder", NodeKind::Folder, "/home/ann/doc");
        add(nodes, work, "doc2", NodeKind::Doc, "/home/ann/doc2.txt");
        add(nodes, work, "docs", NodeKind::Doc, "/home/ann/docs/x.pdf");
        add(nodes, work, "inside", NodeKind::Doc, "/home/ann/doc/inner.txt");
        add(nodes, work, "again", NodeKind::Folder, "/home/ann/doc/");
        add(nodes, work, "case", NodeKind::Doc, "/home/ann/Doc/inner.txt");
        add(nodes, work, "web", NodeKind::Url, "https://example.org/home/ann/doc");
        add(nodes, work, "mail", NodeKind::Url, "mailto:ann@example.org?subject=/home/ann/doc");
        // A category never counts, even one that a damaged file gave a path.
        add(nodes, nullptr, "odd", NodeKind::Category, "/home/ann/doc/odd");
    }

private Q_SLOTS:
    void init() { fill(); }

    void pathCovers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("location");
        QTest::addColumn<bool>("covered");
        QTest::newRow("itself") << "/home/ann/doc"
                                << "/home/ann/doc" << true;
        QTest::newRow("inside") << "/home/ann/doc"
                                << "/home/ann/doc/x.pdf" << true;
        QTest::newRow("deep inside") << "/home/ann/doc"
                                     << "/home/ann/doc/a/b/c" << true;
        QTest::newRow("longer name") << "/home/ann/doc"
                                     << "/home/ann/doc2.txt" << false;
        QTest::newRow("neighbour folder") << "/home/ann/doc"
                                          << "/home/ann/docs/x.pdf" << false;
        QTest::newRow("parent") << "/home/ann/doc"
                                << "/home/ann" << false;
        QTest::newRow("contains it") << "/home/ann/doc"
                                     << "/mnt/home/ann/doc" << false;
        QTest::newRow("other case") << "/home/ann/doc"
                                    << "/home/ann/Doc" << false;
        QTest::newRow("path with slash") << "/home/ann/doc/"
                                         << "/home/ann/doc" << true;
        QTest::newRow("location with slash") << "/home/ann/doc"
                                             << "/home/ann/doc/" << true;
        QTest::newRow("slashes, inside") << "/home/ann/doc//"
                                         << "/home/ann/doc/x" << true;
        QTest::newRow("root") << "/"
                              << "/home/ann/doc" << true;
        QTest::newRow("root itself") << "/"
                                     << "/" << true;
        QTest::newRow("root, relative") << "/"
                                        << "doc" << false;
        QTest::newRow("empty path") << ""
                                    << "/home" << false;
        QTest::newRow("empty location") << "/home"
                                        << "" << false;
    }
    void pathCovers()
    {
        QFETCH(QString, path);
        QFETCH(QString, location);
        QFETCH(bool, covered);
        QCOMPARE(::pathCovers(path, location), covered);
    }

    void repointedPath_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("newPath");
        QTest::addColumn<QString>("result");
        QTest::newRow("itself") << "/a/old"
                                << "/a/old"
                                << "/b/new"
                                << "/b/new";
        QTest::newRow("inside") << "/a/old/x.pdf"
                                << "/a/old"
                                << "/b/new"
                                << "/b/new/x.pdf";
        QTest::newRow("deep") << "/a/old/s/t.txt"
                              << "/a/old"
                              << "/b/new"
                              << "/b/new/s/t.txt";
        QTest::newRow("slashes") << "/a/old/s/"
                                 << "/a/old/"
                                 << "/b/new/"
                                 << "/b/new/s/";
        QTest::newRow("itself, slash") << "/a/old/"
                                       << "/a/old"
                                       << "/b/new"
                                       << "/b/new";
        QTest::newRow("from root") << "/x/y"
                                   << "/"
                                   << "/b"
                                   << "/b/x/y";
        QTest::newRow("to root") << "/a/old/x"
                                 << "/a/old"
                                 << "/"
                                 << "/x";
    }
    void repointedPath()
    {
        QFETCH(QString, location);
        QFETCH(QString, path);
        QFETCH(QString, newPath);
        QFETCH(QString, result);
        QCOMPARE(::repointedPath(location, path, newPath), result);
    }

    // Deleting /home/ann/doc removes the links to it and into it, and no
    // link whose location only begins with the same letters.
    void deleteRemovesLinksToThePathOnly()
    {
        QStringList asked;
        const int removed = updateLinksTo(nodes, "/home/ann/doc", std::nullopt,
                                          [&](const QString& q) { return asked << q, true; });
        QCOMPARE(asked, QStringList{linkUpdateQuestion(false)});
        QCOMPARE(removed, 3);
        QCOMPARE(
            dump(nodes),
            (QStringList{"Work=", "doc2=/home/ann/doc2.txt", "docs=/home/ann/docs/x.pdf",
                         "case=/home/ann/Doc/inner.txt", "web=https://example.org/home/ann/doc",
                         "mail=mailto:ann@example.org?subject=/home/ann/doc",
                         "odd=/home/ann/doc/odd"}));
    }

    // Moving the folder re-points each link by its own place inside it.
    void moveRepointsByPrefix()
    {
        QCOMPARE(updateLinksTo(nodes, "/home/ann/doc", QString("/srv/ann/papers"),
                               [](const QString& q) { return q == linkUpdateQuestion(true); }),
                 3);
        QCOMPARE(dump(nodes),
                 (QStringList{"Work=", "folder=/srv/ann/papers", "doc2=/home/ann/doc2.txt",
                              "docs=/home/ann/docs/x.pdf", "inside=/srv/ann/papers/inner.txt",
                              "again=/srv/ann/papers", "case=/home/ann/Doc/inner.txt",
                              "web=https://example.org/home/ann/doc",
                              "mail=mailto:ann@example.org?subject=/home/ann/doc",
                              "odd=/home/ann/doc/odd"}));
    }

    // No is the answer or there is nothing to change: the tree stays; with
    // no link at all there is no question either.
    void declinedOrNothingToDo()
    {
        const QStringList before = dump(nodes);
        int asked = 0;
        const auto no = [&](const QString&) { return ++asked, false; };
        QCOMPARE(updateLinksTo(nodes, "/home/ann/doc", std::nullopt, no), 0);
        QCOMPARE(updateLinksTo(nodes, "/home/ann/doc", QString("/x"), no), 0);
        QCOMPARE(asked, 2);
        QCOMPARE(updateLinksTo(nodes, "/home/bob", std::nullopt, no), 0);
        QCOMPARE(updateLinksTo(nodes, "", std::nullopt, no), 0);
        QCOMPARE(asked, 2);
        QCOMPARE(dump(nodes), before);
    }

    // The moved node already points at the new place: a new path that only
    // begins like the old one does not make it a link to the old path.
    void movedNodeItselfStays()
    {
        nodes.clear();
        add(nodes, nullptr, "moved", NodeKind::Doc, "/home/ann/doc.bak");
        add(nodes, nullptr, "other", NodeKind::Doc, "/home/ann/doc");
        QCOMPARE(updateLinksTo(nodes, "/home/ann/doc", QString("/home/ann/doc.bak")), 1);
        QCOMPARE(dump(nodes), (QStringList{"moved=/home/ann/doc.bak", "other=/home/ann/doc.bak"}));
    }

    // links next to each other, a link with entries filed below it, and the
    // root: the walk goes on after each removed subtree and misses none.
    void walkMissesNothing()
    {
        nodes.clear();
        TreeNode* a = add(nodes, nullptr, "a", NodeKind::Doc, "/d/one");
        add(nodes, a, "below", NodeKind::Doc, "/d/two");
        add(nodes, nullptr, "b", NodeKind::Doc, "/d/one");
        add(nodes, nullptr, "c", NodeKind::Doc, "/e/keep");
        TreeNode* cat = add(nodes, nullptr, "cat", NodeKind::Category);
        add(nodes, cat, "d", NodeKind::Folder, "/d");
        add(nodes, cat, "url", NodeKind::Url, "/d/one");
        QCOMPARE(updateLinksTo(nodes, "/d", std::nullopt), 3);
        QCOMPARE(dump(nodes), (QStringList{"c=/e/keep", "cat=", "url=/d/one"}));
        QCOMPARE(updateLinksTo(nodes, "/", QString("/mnt")), 1);
        QCOMPARE(dump(nodes), (QStringList{"c=/mnt/e/keep", "cat=", "url=/d/one"}));
    }

    // A search of locations sees the re-pointed links at once.
    void searchSeesRepointedLinks()
    {
        CatalogueSearch search(nodes);
        QVERIFY(!search.scan(u"/srv/", Qt::CaseSensitive, SearchField::fullName, 0).found());
        QCOMPARE(updateLinksTo(nodes, "/home/ann/doc", QString("/srv/doc")), 3);
        const SearchHit hit =
            search.scan(u"/srv/doc/inner", Qt::CaseSensitive, SearchField::fullName, 0);
        QCOMPARE(hit.node ? hit.node->text() : QString(), QStringLiteral("inside"));
    }

    // Afterwards the window's search stands where a scan of locations that
    // met each link would stop: the field is the location, the position is
    // after the last link handled (after the first on No), and without any
    // link the position stays.
    void searchStandsAfterTheLastLink()
    {
        CatalogueSearch search(nodes);
        search.setFindPos(5);
        // Full order: Work 0, folder 1, doc2 2, docs 3, inside 4, again 5, case 6, ...
        QCOMPARE(updateLinksTo(search, nodes, "/home/bob", std::nullopt), 0);
        QCOMPARE(search.field(), SearchField::fullName);
        QCOMPARE(search.findPos(), 5);
        QCOMPARE(updateLinksTo(search, nodes, "/home/ann/doc", QString("/x"),
                               [](const QString&) { return false; }),
                 0);
        QCOMPARE(search.findPos(), 2);
        search.setField(SearchField::name);
        QCOMPARE(updateLinksTo(search, nodes, "/home/ann/doc", QString("/x")), 3);
        QCOMPARE(search.field(), SearchField::fullName);
        QCOMPARE(search.findPos(), 6);
        // Removing: the last link was at 3 once the two before it had gone.
        fill();
        QCOMPARE(updateLinksTo(search, nodes, "/home/ann/doc", std::nullopt), 3);
        QCOMPARE(search.findPos(), 4);
    }

    // Links to a folder scattered among many others all go, the rest keep
    // their order, and the search's copy of the tree stays true.
    void scatteredLinksGo()
    {
        nodes.clear();
        TreeNode* work = add(nodes, nullptr, "Work", NodeKind::Category);
        QStringList kept;
        for (int i = 0; i < 50; ++i) {
            const bool goes = i % 2 == 0;
            const QString name = QString::number(i);
            add(nodes, work, name, NodeKind::Doc, (goes ? "/gone/" : "/keep/") + name);
            if (!goes)
                kept << name + "=/keep/" + name;
        }
        CatalogueSearch search(nodes);
        search.scan(u"x", Qt::CaseSensitive, SearchField::fullName, 0); // the copy is made
        QCOMPARE(updateLinksTo(search, nodes, "/gone", std::nullopt), 25);
        QCOMPARE(dump(nodes), QStringList{"Work="} + kept);
        QVERIFY(!search.scan(u"/gone/", Qt::CaseSensitive, SearchField::fullName, 0).found());
        const SearchHit hit = search.scan(u"/keep/49", Qt::CaseSensitive, SearchField::fullName, 0);
        QCOMPARE(hit.node ? hit.node->text() : QString(), QStringLiteral("49"));
        QCOMPARE(hit.index, 25);
    }

    // The search's copy of the locations finds the same links as the walk:
    // whole paths, exact case, neighbours with longer names left alone.
    void searchFindsTheSameLinksAsTheWalk()
    {
        const auto run = [&](bool withSearch, const QString& path, std::optional<QString> to) {
            fill();
            CatalogueSearch search(nodes);
            search.scan(u"x", Qt::CaseSensitive, SearchField::fullName, 0); // the copy is made
            if (withSearch)
                updateLinksTo(search, nodes, path, to);
            else
                updateLinksTo(nodes, path, to);
            return dump(nodes);
        };
        for (const char* path : {"/home/ann/doc", "/home/ann/doc/", "/home/ann/Doc", "/home",
                                 "/home/ann/doc2.txt", "/"}) {
            QCOMPARE(run(true, path, std::nullopt), run(false, path, std::nullopt));
            QCOMPARE(run(true, path, QString("/srv/new")), run(false, path, QString("/srv/new")));
        }
        QCOMPARE(run(true, "/home/ann/doc", std::nullopt).size(), 7);
    }

    // In slices, over several parents and links in runs of every length,
    // the update ends as the one made at once does; a change of the tree by
    // anyone else meanwhile sends it back to its walk, so a link made then
    // goes too and no node it held is read after it went.
    void slicedUpdateEndsAsTheOneAtOnce()
    {
        const auto build = [&] {
            nodes.clear();
            for (int c = 0; c < 4; ++c) {
                TreeNode* category = add(nodes, nullptr, QString::number(c), NodeKind::Category);
                for (int i = 0; i < 300; ++i) {
                    const bool goes = (i / (c + 1)) % 2 == 0 || c == 3;
                    add(nodes, category, QString::number(i), NodeKind::Doc,
                        (goes ? "/gone/" : "/keep/") + QString::number(i));
                }
            }
        };
        build();
        updateLinksTo(nodes, "/gone", std::nullopt);
        const QStringList atOnce = dump(nodes);
        for (const std::optional<QString>& to :
             {std::optional<QString>(), std::optional<QString>("/new")}) {
            build();
            updateLinksTo(nodes, "/gone", to);
            const QStringList expected = dump(nodes);
            build();
            qint64& budget = LinkUpdate::sliceBudget();
            const qint64 saved = std::exchange(budget, 0);
            LinkUpdate update(nodes, nullptr, "/gone", to, {});
            QSignalSpy finished(&update, &LinkUpdate::finished);
            update.start();
            QVERIFY(!update.done());
            // Another link to the folder comes meanwhile, first in the tree.
            add(nodes, nodes.rootItem(0), "late", NodeKind::Doc, "/gone/late");
            QVERIFY(finished.wait());
            budget = saved;
            QStringList late = expected;
            if (to)
                late.insert(301, "late=/new/late");
            QCOMPARE(dump(nodes), late);
        }
        QCOMPARE(atOnce.size(), 4 + 3 * 150); // the roots and the kept entries
    }
};

QTEST_GUILESS_MAIN(TestLinkUpdates)
#include "tst_linkupdates.moc"
